#!/usr/bin/env python3
"""Checks a JUnit XML report the way CI systems read it: a real XML parser, and the
elements and attributes the JUnit schema requires, with counts that agree.
`junit_check.py FILE` prints the cases as "name|time|failure message" lines, exit 0 when sound."""
import sys
import xml.etree.ElementTree as ET


def fail(why):
    print(f"junit_check: {why}", file=sys.stderr)
    sys.exit(1)


def number(element, name, kind):
    value = element.get(name)
    if value is None:
        fail(f"<{element.tag}> has no {name}")
    try:
        return kind(value)
    except ValueError:
        fail(f"<{element.tag}> {name}={value!r} is not a number")


def main(path):
    root = ET.parse(path).getroot()
    if root.tag != "testsuites":
        fail(f"the root is <{root.tag}>, not <testsuites>")
    suites = root.findall("testsuite")
    if not suites:
        fail("no <testsuite>")
    for suite in suites:
        if not suite.get("name"):
            fail("a <testsuite> has no name")
        cases = suite.findall("testcase")
        failures = [c for c in cases if c.find("failure") is not None]
        errors = [c for c in cases if c.find("error") is not None]
        if number(suite, "tests", int) != len(cases):
            fail("tests does not count the test cases")
        if number(suite, "failures", int) != len(failures):
            fail("failures does not count the failed cases")
        if number(suite, "errors", int) != len(errors):
            fail("errors does not count the cases in error")
        number(suite, "time", float)
        for case in cases:
            for name in ("name", "classname"):
                if case.get(name) is None:
                    fail(f"a <testcase> has no {name}")
            number(case, "time", float)
            failure = case.find("failure")
            if failure is not None and failure.get("message") is None:
                fail(f"the failure of {case.get('name')!r} has no message")
            message = "" if failure is None else failure.get("message")
            print(f"{case.get('name')}|{case.get('time')}|{message}")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        fail("usage: junit_check.py FILE")
    main(sys.argv[1])
