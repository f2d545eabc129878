#!/bin/sh
# The layout file's JSON against its schema (docs/layout.schema.json): the
# expected document of the end-to-end case, and the layout of the bundled
# example, written by the built program.
#   layout_schema_test.sh <tabcopy> <source dir>
# Exit status 77 means skipped (no Python with jsonschema).
set -u
tabcopy=$1
src=$2
python=/usr/bin/python3
[ -x "$python" ] || python=python3
"$python" -c 'import jsonschema' 2>/dev/null ||
    { echo "skipped: Python's jsonschema is not installed (Debian package python3-jsonschema)"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/tabcopy-schema-XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -r "$src/examples/." "$work/"
printf 'LAYOUTFILE layout.json JSON PURGE\n' >> "$work/example.par"
(cd "$work" && "$tabcopy" PARAMFILE example.par > out.txt 2>&1) || { cat "$work/out.txt"; echo "FAIL: the example run"; exit 1; }
"$python" - "$src/docs/layout.schema.json" "$src/tests/e2e/cases/layout_file_json/out/layout.json" "$work/layout.json" <<'PY'
import json, sys
import jsonschema
schema = json.load(open(sys.argv[1]))
jsonschema.Draft202012Validator.check_schema(schema)
for path in sys.argv[2:]:
    document = json.load(open(path))
    jsonschema.Draft202012Validator(schema).validate(document)
    fields = sum(len(t["fields"]) for t in document["tables"])
    # Every field lies inside its record.
    for t in document["tables"]:
        for f in t["fields"]:
            assert f["offset"] + f["length"] * f["occurs"] <= t["record_length"], (t["table"], f["name"])
    print("valid:", path.split("/")[-1], len(document["tables"]), "tables,", fields, "fields")
PY
