// An endpoint built on the npm package wechat-crypto, as a developer writes
// one, on 127.0.0.1 and a free port; it prints "listening PORT" once it
// accepts connections. Refusals are answered 401 with the reason.
//  miniprogram: a mini-program's JSON message push, plain or in safe mode
//    (signature always, msg_signature over Encrypt, the AppID inside),
//    answered with a JSON text reply, encrypted when the push was; the URL
//    check answers echostr.
//  open: a third-party platform's authorisation events, always encrypted
//    with the platform's own AppID, answered "success".
//
// node wechat_crypto_endpoint.js MODULES_DIR miniprogram|open TOKEN APPID ENCODING_AES_KEY
'use strict';

const http = require('http');

const [modulesDir, family, token, appId, encodingAESKey] = process.argv.slice(2);
const WXBizMsgCrypt = require(require.resolve('wechat-crypto', { paths: [modulesDir] }));
const cryptor = new WXBizMsgCrypt(token, encodingAESKey, appId);

function field(xml, name) {
  const match = new RegExp(`<${name}>(?:<!\\[CDATA\\[([\\s\\S]*?)\\]\\]>|([^<]*))</${name}>`).exec(xml);
  return match ? (match[1] !== undefined ? match[1] : match[2]) : undefined;
}

function check(query, encrypted) {
  // With an empty fourth part the SDK's signature is the plain one of token, timestamp and nonce.
  if (cryptor.getSignature(query.get('timestamp'), query.get('nonce'), '') !== query.get('signature')) {
    throw new Error('invalid signature');
  }
  if (encrypted === undefined) return undefined;
  if (cryptor.getSignature(query.get('timestamp'), query.get('nonce'), encrypted) !== query.get('msg_signature')) {
    throw new Error('invalid msg_signature');
  }
  const { message, id } = cryptor.decrypt(encrypted);
  if (id !== appId) throw new Error(`invalid appid ${id}`);
  return message;
}

function miniProgram(query, body) {
  const push = JSON.parse(body);
  const safe = query.get('encrypt_type') === 'aes';
  const message = safe ? JSON.parse(check(query, push.Encrypt)) : (check(query), push);
  const text = JSON.stringify({
    ToUserName: message.FromUserName,
    FromUserName: message.ToUserName,
    CreateTime: Math.floor(Date.now() / 1000),
    MsgType: 'text',
    Content: `wechat-crypto 收到 ${message.MsgType}：${message.Content || message.PicUrl || message.Title || message.Event || ''}`,
  });
  if (!safe) return ['application/json', text];
  const timeStamp = Math.floor(Date.now() / 1000);
  const nonce = String(Math.floor(Math.random() * 1e9));
  const sealed = cryptor.encrypt(text);
  return ['application/json', JSON.stringify({
    Encrypt: sealed,
    MsgSignature: cryptor.getSignature(String(timeStamp), nonce, sealed),
    TimeStamp: timeStamp,
    Nonce: nonce,
  })];
}

function openPlatform(query, body) {
  if (query.get('encrypt_type') !== 'aes') throw new Error('not encrypted');
  if (field(body, 'AppId') === undefined) throw new Error('no AppId');
  const event = check(query, field(body, 'Encrypt') || '');
  if (!field(event, 'InfoType')) throw new Error('no InfoType');
  return ['text/plain', 'success'];
}

const server = http.createServer((req, res) => {
  const query = new URL(req.url, 'http://127.0.0.1').searchParams;
  const chunks = [];
  req.on('data', (chunk) => chunks.push(chunk));
  req.on('end', () => {
    try {
      let answer;
      if (req.method === 'GET' && family === 'miniprogram') {
        check(query);
        answer = ['text/plain', query.get('echostr') || ''];
      } else {
        const body = Buffer.concat(chunks).toString();
        answer = family === 'open' ? openPlatform(query, body) : miniProgram(query, body);
      }
      res.writeHead(200, { 'Content-Type': `${answer[0]}; charset=utf-8` });
      res.end(answer[1]);
    } catch (error) {
      res.writeHead(401, { 'Content-Type': 'text/plain; charset=utf-8' });
      res.end(error.message);
    }
  });
});

server.listen(0, '127.0.0.1', () => {
  process.stdout.write(`listening ${server.address().port}\n`);
});
