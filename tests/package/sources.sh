#!/usr/bin/env bash
# The packaging files agree with the program: debian/changelog names the project's version, and the
# manual page names every option of the README's command-line section and the program's own.
set -euo pipefail
root=$1
failed=0

version=$(sed -n 's/^project(tolva VERSION \([0-9][0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
changelog=$(sed -n '1s/^tolva (\([^)]*\)).*/\1/p' "$root/debian/changelog")
if [ "$changelog" != "$version" ]; then
    echo "debian/changelog names version '$changelog', CMakeLists.txt '$version'"
    failed=1
fi

# The options of the README's command-line section, and those main() reads itself.
options=$(sed -n '/^## Command line/,/^## /p' "$root/README.md" | grep -o -- '--[a-z][a-z-]*' | sort -u)
[ -n "$options" ] || { echo "no options found in README.md's command-line section"; exit 1; }
options+=$'\n'$(grep -o -- '"--[a-z][a-z-]*"' "$root/app/main.cpp" | tr -d '"' | sort -u)
# The manual page writes each hyphen as \-.
manual=$(sed 's/\\-/-/g' "$root/dist/tolva.1")
for option in $(echo "$options" | sort -u); do
    if ! grep -qE -- "(^|[^a-z-])$option([^a-z-]|\$)" <<<"$manual"; then
        echo "dist/tolva.1 does not name $option"
        failed=1
    fi
done
[ $failed -eq 0 ] && echo "packaging files agree with the program"
exit $failed
