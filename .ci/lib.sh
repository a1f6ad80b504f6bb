# Sourced by every stage: strict mode, the repository as working directory, a scratch
# directory removed on exit, and `need` to install missing Debian packages.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# need PACKAGE...: installs the packages that are not installed yet, without prompts and
# without recommends, so that a stage works on a fresh machine and costs nothing on one
# that already has them.
need() {
    local missing=() package
    for package; do
        dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
    done
    [ "${#missing[@]}" -gt 0 ] || return 0
    echo "installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=600 \
        --no-install-recommends "${missing[@]}" >/dev/null
}

# readme_command HEADING N: the Nth sh block under the README's "## HEADING", verbatim, so
# that CI runs exactly what a reader is told to run.
readme_command() {
    awk -v heading="## $1" -v n="$2" '
        /^## / { inside = ($0 == heading) }
        inside && /^```sh$/ { block++; next }
        inside && /^```$/ { if (block == n) exit; next }
        inside && block == n { print }' README.md
}
