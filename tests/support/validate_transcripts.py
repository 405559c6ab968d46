#!/usr/bin/python3
"""Checks what the process suites sent to and read from the bridge against the
JSON Schemas in schema/, so that the schemas cannot drift from the program.

  validate_transcripts.py --clear FOLDER    empty the folder before the suites run
  validate_transcripts.py SCHEMAS FOLDER     check every NAME.response (and
                                             NAME.request beside it) in FOLDER

Every response must match the response schema. A request answered with
success must match the request schema, and its payload must be the one its
method gives. A request the bridge refused as malformed (a missing or
mistyped key, not an object, an unknown method) must not match it: the schema
is neither stricter nor laxer than the bridge.
"""
import json
import pathlib
import shutil
import sys

try:
    import jsonschema
except ImportError:
    sys.exit("python3-jsonschema is missing: run scripts/setup.")

PAYLOADS = {"status": "statusData", "authorize": "authorizeData", "sync": "syncData", "write": "writeData"}


def strict_json(data):
    """JSON as the bridge reads it: NaN and Infinity are not literals."""
    def refuse(name):
        raise ValueError("not a JSON literal: " + name)
    try:
        return json.loads(data, parse_constant=refuse)
    except RecursionError:
        raise ValueError("nested too deeply for this checker") from None


def refused_as_malformed(error):
    code, message = error["code"], error["message"]
    if code == "INVALID_METHOD":
        return True
    # A number too large for a double is valid JSON and a number to the
    # schema; only the bridge's reader can tell.
    return code == "SWIFT_ERROR" and "too large" not in message and (
        message.startswith("The key '") or message.startswith("The request must be a JSON object"))


def check(name, request_bytes, response_bytes, request_schema, response_schema):
    """The problems of one run, as sentences."""
    try:
        response = strict_json(response_bytes)
    except ValueError as error:
        return [f"{name}: the response is not JSON: {error}"]
    error = jsonschema.exceptions.best_match(response_schema.iter_errors(response))
    if error is not None:
        return [f"{name}: response at {list(error.absolute_path)}: {error.message[:300]}"]
    problems = []
    if request_bytes is None:
        return problems
    try:
        request = strict_json(request_bytes)
    except ValueError:
        request = None
    request_valid = request is not None and request_schema.is_valid(request)
    if response["ok"]:
        if not request_valid:
            errors = [] if request is None else [e.message for e in request_schema.iter_errors(request)]
            problems.append(f"{name}: a request the bridge answered does not match the request schema: {errors}")
        else:
            payload = {"$ref": "urn:tarnwick:schema:response#/$defs/" + PAYLOADS[request["method"].lower()]}
            validator = jsonschema.Draft202012Validator(payload, resolver=response_schema.resolver)
            problems += [f"{name}: {request['method']} payload: {e.message}" for e in validator.iter_errors(response["data"])]
    elif request_valid and refused_as_malformed(response["error"]):
        problems.append(f"{name}: the request schema accepts a request the bridge refused: {response['error']['message']}")
    return problems


def main(arguments):
    if len(arguments) == 2 and arguments[0] == "--clear":
        shutil.rmtree(arguments[1], ignore_errors=True)
        return 0
    if len(arguments) != 2:
        sys.exit(__doc__)
    schemas, folder = pathlib.Path(arguments[0]), pathlib.Path(arguments[1])
    validators = []
    for name in ("request", "response"):
        schema = json.loads((schemas / f"{name}.schema.json").read_text())
        jsonschema.Draft202012Validator.check_schema(schema)
        validators.append(jsonschema.Draft202012Validator(schema))
    responses = sorted(folder.glob("*.response")) if folder.is_dir() else []
    problems = []
    requests = 0
    for path in responses:
        request_path = path.with_suffix(".request")
        request_bytes = request_path.read_bytes() if request_path.exists() else None
        requests += request_bytes is not None
        problems += check(path.stem, request_bytes, path.read_bytes(), *validators)
    for problem in problems[:50]:
        print(problem)
    print(f"Checked {len(responses)} responses and {requests} requests against the schemas: {len(problems)} problems.")
    if not responses:
        # A selection of in-process cases records nothing; that recording
        # works at all is pinned by a process case of its own.
        print(f"No transcripts in {folder}: the selected cases ran no bridge.")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
