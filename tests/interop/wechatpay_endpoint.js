// A merchant's notification endpoint built on the npm package
// wechatpay-node-v3, as its README guides: verifySign with the platform
// certificate (Veltrane's, given by serial number, so nothing is fetched),
// then decipher_gcm. It prints "listening PORT", then answers 200 with the
// resource it read, or 401 with {"code":"FAIL",...} when the signature fails.
//
// node wechatpay_endpoint.js MODULES_DIR APIV3_KEY CERTIFICATE_FILE SERIAL
// node wechatpay_endpoint.js MODULES_DIR APIV3_KEY --open CIPHERTEXT ASSOCIATED_DATA NONCE
'use strict';

const crypto = require('crypto');
const fs = require('fs');
const http = require('http');

const [modulesDir, apiV3Key, certificateFile, serial, associatedData, nonce] = process.argv.slice(2);
const Pay = require(require.resolve('wechatpay-node-v3', { paths: [modulesDir] }));

if (certificateFile === '--open') {
  // The known answer: what decipher_gcm makes of a given ciphertext.
  const pay = new Pay({ appid: 'wx', mchid: '1', publicKey: Buffer.from('-'), serial_no: 'X', privateKey: Buffer.from('-') });
  const opened = pay.decipher_gcm(serial, associatedData, nonce, apiV3Key);
  process.stdout.write(typeof opened === 'string' ? opened : JSON.stringify(opened));
  process.exit(0);
}

const certificate = fs.readFileSync(certificateFile);
const pay = new Pay({ appid: 'wx', mchid: '1', publicKey: certificate, serial_no: serial, privateKey: Buffer.from('-') });
Pay.certificates[serial] = crypto.createPublicKey(certificate).export({ type: 'spki', format: 'pem' });

function answer(res, status, body) {
  res.writeHead(status, { 'Content-Type': 'application/json; charset=utf-8' });
  res.end(JSON.stringify(body));
}

const server = http.createServer((req, res) => {
  const chunks = [];
  req.on('data', (chunk) => chunks.push(chunk));
  req.on('end', async () => {
    const body = Buffer.concat(chunks).toString('utf8');
    try {
      const verified = await pay.verifySign({
        timestamp: req.headers['wechatpay-timestamp'],
        nonce: req.headers['wechatpay-nonce'],
        serial: req.headers['wechatpay-serial'],
        signature: req.headers['wechatpay-signature'],
        body,
        apiSecret: apiV3Key,
      });
      if (!verified)
        return answer(res, 401, { code: 'FAIL', message: '签名验证失败' });
      const { resource } = JSON.parse(body);
      const opened = pay.decipher_gcm(resource.ciphertext, resource.associated_data, resource.nonce, apiV3Key);
      // As the SDK's users write it: whatever decipher_gcm gave is taken.
      answer(res, 200, { code: 'SUCCESS', resource: opened });
    } catch (error) {
      answer(res, 500, { code: 'FAIL', message: String(error && error.message) });
    }
  });
});

server.listen(0, '127.0.0.1', () => {
  process.stdout.write(`listening ${server.address().port}\n`);
});
