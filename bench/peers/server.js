// SPDX-License-Identifier: Apache-2.0
// The comparison server: answers "RunTest" with the same record the bundled
// configuration server builds, over stdio in Content-Length frames.
'use strict';
const rpc = require('vscode-jsonrpc/node');

function fields(p, prefix) {
    const record = {};
    record[prefix + 'Int'] = p[0];
    record[prefix + 'String'] = p[1];
    record[prefix + 'Bool'] = p[2];
    record[prefix + 'Double'] = p[3];
    record[prefix + 'Float'] = Math.fround(p[4]);
    return record;
}

const connection = rpc.createMessageConnection(
    new rpc.StreamMessageReader(process.stdin), new rpc.StreamMessageWriter(process.stdout));
connection.onRequest('RunTest', (params) => {
    const record = fields(params, 'Test');
    record.InnerStruct = fields(params, 'Inner');
    return record;
});
connection.onClose(() => process.exit(0));
connection.listen();
