#pragma once

class QGroupBox;

// Qt's Fusion style draws a group box's frame from an image it reads by
// file name, and Qt's image reader then loads every image format plugin
// installed to ask each whether it reads that file: on the main window's
// first paint that took 1.5 ms of a 50 ms start with three plugins, and
// takes more with more. Under Fusion, the frame is drawn here as Fusion
// draws it, from the same image read once as the PNG it is. Under any other
// style, or if the image cannot be read, the box is left to its style.
void drawFrameWithoutImageProbe(QGroupBox *box);
