#!/usr/bin/env python3
"""Validates JSON documents against a JSON Schema, with the standard library only.

Covers the keywords docs/result.schema.json uses: type, const, enum, properties, required,
additionalProperties (false), items, minItems, maxItems, minimum, maximum, pattern and local
$ref. An unknown keyword is an error, so the schema cannot use more than is checked here.

    check_schema.py SCHEMA.json DOCUMENT.json...
"""
import json
import re
import sys

ANNOTATIONS = {"$schema", "$id", "title", "description", "$defs"}
TYPES = {
    "object": lambda v: isinstance(v, dict),
    "array": lambda v: isinstance(v, list),
    "string": lambda v: isinstance(v, str),
    "integer": lambda v: isinstance(v, int) and not isinstance(v, bool) or isinstance(v, float) and v.is_integer(),
    "number": lambda v: isinstance(v, (int, float)) and not isinstance(v, bool),
    "boolean": lambda v: isinstance(v, bool),
    "null": lambda v: v is None,
}


def check(value, schema, root, path, errors):
    if "$ref" in schema:
        target = root
        for part in schema["$ref"].removeprefix("#/").split("/"):
            target = target[part]
        check(value, target, root, path, errors)
    for key, rule in schema.items():
        if key in ANNOTATIONS or key == "$ref":
            continue
        if key == "type":
            names = rule if isinstance(rule, list) else [rule]
            if not any(TYPES[name](value) for name in names):
                errors.append(f"{path}: {value!r} is not of type {rule}")
                return
        elif key == "const":
            if value != rule or (type(value) is bool) != (type(rule) is bool):
                errors.append(f"{path}: {value!r} is not {rule!r}")
        elif key == "enum":
            if value not in rule:
                errors.append(f"{path}: {value!r} is not one of {rule}")
        elif key in ("properties", "required", "additionalProperties"):
            if not isinstance(value, dict):
                continue
            if key == "properties":
                for name, sub in rule.items():
                    if name in value:
                        check(value[name], sub, root, f"{path}.{name}", errors)
            elif key == "required":
                errors.extend(f"{path}: missing {name}" for name in rule if name not in value)
            elif rule is False:
                extra = set(value) - set(schema.get("properties", {}))
                errors.extend(f"{path}: unexpected {name}" for name in sorted(extra))
        elif key in ("items", "minItems", "maxItems"):
            if not isinstance(value, list):
                continue
            if key == "items":
                for i, item in enumerate(value):
                    check(item, rule, root, f"{path}[{i}]", errors)
            elif key == "minItems" and len(value) < rule or key == "maxItems" and len(value) > rule:
                errors.append(f"{path}: {len(value)} items, {key} {rule}")
        elif key in ("minimum", "maximum"):
            if TYPES["number"](value) and (value < rule if key == "minimum" else value > rule):
                errors.append(f"{path}: {value} beyond {key} {rule}")
        elif key == "pattern":
            if isinstance(value, str) and not re.search(rule, value):
                errors.append(f"{path}: {value!r} does not match {rule}")
        else:
            raise SystemExit(f"schema keyword {key!r} at {path} is not supported by this checker")


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as handle:
        schema = json.load(handle)
    failed = 0
    for name in sys.argv[2:]:
        with open(name, encoding="utf-8") as handle:
            document = json.load(handle)
        errors = []
        check(document, schema, schema, "$", errors)
        status = "ok  " if not errors else "FAIL"
        print(f"{status} {name}" + "".join(f"\n     {error}" for error in errors))
        failed += bool(errors)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
