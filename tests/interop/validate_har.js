// Validates a HAR file with har-validator: prints "valid", or the schema's
// complaints and exits 1.
'use strict';
const fs = require('fs');
const path = require('path');
const [modules, file] = process.argv.slice(2);
const validate = require(path.join(modules, 'har-validator'));
const har = JSON.parse(fs.readFileSync(file, 'utf8'));
validate.har(har).then(
    () => console.log('valid'),
    (error) => {
        console.log(JSON.stringify(error.errors || error.message));
        process.exit(1);
    });
