// SPDX-License-Identifier: Apache-2.0
// The comparison client: starts server.js, warms up, then times rounds of
// sequential "RunTest" calls and prints the median time per call as JSON.
//   node client.js [rounds] [calls per round]
'use strict';
const path = require('path');
const { spawn } = require('child_process');
const rpc = require('vscode-jsonrpc/node');

async function main() {
    const rounds = Number(process.argv[2] || 21);
    const batch = Number(process.argv[3] || 300);
    const child = spawn(process.execPath, [path.join(__dirname, 'server.js')],
                        { stdio: ['pipe', 'pipe', 'inherit'] });
    const connection = rpc.createMessageConnection(
        new rpc.StreamMessageReader(child.stdout), new rpc.StreamMessageWriter(child.stdin));
    connection.listen();
    const params = [7, 'abc', true, 1.5, 2.25];
    const call = () => connection.sendRequest('RunTest', params);

    const first = await call();
    if (first.TestString !== 'abc' || first.InnerStruct.InnerInt !== 7) {
        throw new Error('unexpected answer ' + JSON.stringify(first));
    }
    for (let i = 0; i < batch; ++i) await call();

    const perCall = [];
    for (let r = 0; r < rounds; ++r) {
        const start = process.hrtime.bigint();
        for (let i = 0; i < batch; ++i) await call();
        perCall.push(Number(process.hrtime.bigint() - start) / 1e3 / batch);
    }
    perCall.sort((a, b) => a - b);
    connection.dispose();
    child.stdin.end();
    process.stdout.write(JSON.stringify({ round_trip_us: perCall[perCall.length >> 1], rounds, batch }) + '\n');
}

main().catch((error) => {
    process.stderr.write(String(error && error.stack || error) + '\n');
    process.exit(1);
});
