# Shared by the scripted tests: run qf_tool under Wine and map paths.
top=$(cd "$src/../../.." && pwd)
run() { "$top/scripts/wine-run" "$bin/qf_tool.exe" "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
w() { local p=$1; echo "Z:${p//\//\\}"; }
passed=0 failed=0
ok() { passed=$((passed + 1)); }
bad() { echo "FAILED: $*"; failed=$((failed + 1)); }
finish() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]; }
