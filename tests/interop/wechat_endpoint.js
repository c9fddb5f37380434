// An endpoint built on the npm package "wechat", as an endpoint developer
// writes one, on 127.0.0.1 and a free port. It prints "listening PORT" once
// it accepts connections, then answers every push with a text reply naming
// what arrived, encrypted whenever the push was.
//
// node wechat_endpoint.js MODULES_DIR TOKEN APPID ENCODING_AES_KEY
'use strict';

const http = require('http');

const [modulesDir, token, appid, encodingAESKey] = process.argv.slice(2);
const wechat = require(require.resolve('wechat', { paths: [modulesDir] }));

const middleware = wechat({ token, appid, encodingAESKey }, (req, res) => {
  const message = req.weixin;
  const detail = message.Content || message.PicUrl || message.Label || '';
  res.reply(`wechat 收到 ${message.MsgType}：${detail}`);
});

const server = http.createServer((req, res) => {
  // The middleware reads req.query as express would give it.
  req.query = Object.fromEntries(new URL(req.url, 'http://127.0.0.1').searchParams);
  middleware(req, res, (error) => {
    res.writeHead(error ? 500 : 404, { 'Content-Type': 'text/plain; charset=utf-8' });
    res.end(error ? `${error.name}: ${error.message}` : 'no handler');
  });
});

server.listen(0, '127.0.0.1', () => {
  process.stdout.write(`listening ${server.address().port}\n`);
});
