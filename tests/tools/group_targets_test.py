#!/usr/bin/env python3
"""Each folder's test target builds every program its tests start.

The README's recipe for one group of tests builds `mirel_<folder>_tests`
alone and runs the folder's tests: a program that one of them starts (the
navigator, a tool, a test server) and the target does not build is missing
from a fresh build folder, and that test fails there. The project is
configured afresh in a scratch folder (nothing is built): CMake's file API
gives each target's dependencies and files, CTest's listing each test's
command and folder.

Usage: group_targets_test.py SOURCE_DIR
"""

import json
import pathlib
import subprocess
import sys
import tempfile


def load_targets(build: pathlib.Path):
    """Target names by id, their direct dependencies, and the target of each
    file the build makes (absolute paths)."""
    reply = build / ".cmake" / "api" / "v1" / "reply"
    index = json.loads(max(reply.glob("index-*.json")).read_text())
    codemodel = json.loads((reply / index["reply"]["codemodel-v2"]["jsonFile"]).read_text())
    names, depends, made_by = {}, {}, {}
    for entry in codemodel["configurations"][0]["targets"]:
        target = json.loads((reply / entry["jsonFile"]).read_text())
        names[entry["id"]] = entry["name"]
        depends[entry["name"]] = [d["id"] for d in target.get("dependencies", [])]
        for artifact in target.get("artifacts", []):
            made_by[str(build / artifact["path"])] = entry["name"]
    return {name: [names[i] for i in ids] for name, ids in depends.items()}, made_by


def built_with(target, depends):
    seen, todo = set(), [target]
    while todo:
        name = todo.pop()
        if name not in seen:
            seen.add(name)
            todo.extend(depends.get(name, []))
    return seen


def main(source):
    with tempfile.TemporaryDirectory(prefix="mirel-group-targets-") as scratch:
        build = pathlib.Path(scratch)
        query = build / ".cmake" / "api" / "v1" / "query" / "codemodel-v2"
        query.parent.mkdir(parents=True)
        query.touch()
        subprocess.run(["cmake", "-S", source, "-B", scratch, "-DMIREL_BUILD_TESTS=ON", "-DMIREL_BUILD_BENCH=ON"],
                       check=True, stdout=subprocess.DEVNULL)
        depends, made_by = load_targets(build)
        listing = json.loads(subprocess.run(["ctest", "--show-only=json-v1"], cwd=scratch, check=True,
                                            capture_output=True, text=True).stdout)
        checked, missing = 0, []
        for test in listing["tests"]:
            properties = {p["name"]: p["value"] for p in test.get("properties", [])}
            folder = pathlib.Path(properties.get("WORKING_DIRECTORY", scratch)).relative_to(build).parts
            group = f"mirel_{folder[-1]}_tests" if len(folder) == 2 and folder[0] == "tests" else None
            if group not in depends:
                continue
            built = built_with(group, depends)
            for argument in test.get("command", []):
                program = made_by.get(argument)
                if program is None:
                    continue
                checked += 1
                if program not in built:
                    missing.append(f"{test['name']} starts {program}, which {group} does not build")
    print(f"{checked} programs started by the tests of the folders' targets")
    for line in missing:
        print(line)
    # A listing without a single program means the check read nothing.
    return 1 if missing or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
