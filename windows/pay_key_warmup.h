#pragma once

class Form1;

// Whenever the main window is on 微信支付 (at start, or chosen later), makes
// sure the platform's key exists, on a thread of the pool: its first making
// takes up to a second or two, which a post would otherwise spend frozen.
void warmPayPlatformKeyFor(Form1 &mainWindow);
