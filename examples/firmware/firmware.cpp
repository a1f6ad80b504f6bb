// SPDX-License-Identifier: MIT
// Stands in for a firmware program: any linked executable has a code section to convert.

int main() {
    return 0;
}
