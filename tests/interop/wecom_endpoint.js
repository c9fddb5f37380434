// A WeCom callback endpoint built on the npm package @wecom/crypto, as a
// developer writes one, on 127.0.0.1 and a free port. It prints
// "listening PORT" once it accepts connections. The URL check is answered with
// the decrypted echostr; every push must be encrypted with the CorpID and
// signed by msg_signature, and is answered with an encrypted text reply
// naming what arrived. Refusals are answered 401 with the reason.
//
// node wecom_endpoint.js MODULES_DIR TOKEN CORPID ENCODING_AES_KEY
'use strict';

const http = require('http');

const [modulesDir, token, corpId, encodingAESKey] = process.argv.slice(2);
const { getSignature, decrypt, encrypt } = require(require.resolve('@wecom/crypto', { paths: [modulesDir] }));

// The text of a child of <xml>, with or without CDATA.
function field(xml, name) {
  const match = new RegExp(`<${name}>(?:<!\\[CDATA\\[([\\s\\S]*?)\\]\\]>|([^<]*))</${name}>`).exec(xml);
  return match ? (match[1] !== undefined ? match[1] : match[2]) : undefined;
}

// The SDK's two checks: the signature over the Encrypt text, then the CorpID inside it.
function open(query, encrypted) {
  const signature = getSignature(token, query.get('timestamp'), query.get('nonce'), encrypted);
  if (signature !== query.get('msg_signature')) throw new Error('invalid msg_signature');
  const { message, id } = decrypt(encodingAESKey, encrypted);
  if (id !== corpId) throw new Error(`invalid corpid ${id}`);
  return message;
}

function reply(message) {
  const detail = field(message, 'Content') || field(message, 'PicUrl') || field(message, 'Label')
    || field(message, 'Event') || '';
  const text = `<xml><ToUserName><![CDATA[${field(message, 'FromUserName')}]]></ToUserName>`
    + `<FromUserName><![CDATA[${field(message, 'ToUserName')}]]></FromUserName>`
    + `<CreateTime>${Math.floor(Date.now() / 1000)}</CreateTime><MsgType><![CDATA[text]]></MsgType>`
    + `<Content><![CDATA[wecom 收到 ${field(message, 'MsgType')}：${detail}]]></Content></xml>`;
  const timestamp = String(Math.floor(Date.now() / 1000));
  const nonce = String(Math.floor(Math.random() * 1e9));
  const sealed = encrypt(encodingAESKey, text, corpId);
  return `<xml><Encrypt><![CDATA[${sealed}]]></Encrypt>`
    + `<MsgSignature><![CDATA[${getSignature(token, timestamp, nonce, sealed)}]]></MsgSignature>`
    + `<TimeStamp>${timestamp}</TimeStamp><Nonce><![CDATA[${nonce}]]></Nonce></xml>`;
}

const server = http.createServer((req, res) => {
  const query = new URL(req.url, 'http://127.0.0.1').searchParams;
  const chunks = [];
  req.on('data', (chunk) => chunks.push(chunk));
  req.on('end', () => {
    try {
      // Computed whole before the head is written, so a refusal can still be sent.
      let answer;
      if (req.method === 'GET') {
        answer = ['text/plain', open(query, query.get('echostr') || '')];
      } else {
        const body = Buffer.concat(chunks).toString();
        answer = ['text/xml', reply(open(query, field(body, 'Encrypt') || ''))];
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
