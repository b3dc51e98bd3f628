#!/usr/bin/env python3
"""mlinsight check beside the reference validators, on real pages and on
variants of them with one known fault each.

  scripts/conformance.py BUILD_DIR [--vnu JAR]

Validators: OpenSP's onsgmls with the HTML 4 SGML declaration and catalog
(Debian's sgml-data) for HTML 4.01 pages, xmllint --valid for XHTML, and the
Nu Html Checker (vnu.jar) for HTML5 when a jar is given. For each validator:
how many of its errors mlinsight reports on the same line with a rule of the
same kind, and the errors mlinsight reports on lines the validator finds
none on (each listed, to be justified or fixed).
"""
import glob, json, os, re, subprocess, sys, tempfile

HTML4_DECL = "/usr/share/sgml/html/dtd/4.01/HTML4.decl"
HTML4_CATALOG = "/usr/share/sgml/html/dtd/4.01/catalog"

# Validator message → the rules of the same kind.
KINDS = [
    # vnu says so of every <a name> without href: the obsolete name is the fault, which we report.
    (r"“a” is missing required attribute “href”", {"missing-attribute", "unknown-attribute"}),
    (r"required attribute|does not carry attribute", {"missing-attribute"}),
    (r"element .* undefined|No declaration for element|not allowed as child|Element \S+ not allowed"
     r"|is obsolete", {"unknown-element", "misplaced-element"}),
    (r"there is no attribute|No declaration for attribute|Attribute \S+ not allowed", {"unknown-attribute"}),
    (r"duplicate \w+ of attribute|Duplicate attribute|Attribute \S+ redefined", {"duplicate-attribute"}),
    (r"already defined|Duplicate ID", {"duplicate-id"}),
    (r"cannot be|not among the enumerated|is not allowed in the value|Bad value|Syntax of value",
     {"invalid-value"}),
    (r"not open|No \S+ element in scope|Stray end tag|Opening and ending tag mismatch", {"stray-end-tag",
                                                                                        "unclosed-element"}),
    (r"list of possible children", {"misplaced-element", "unknown-element"}),
    (r"not finished|content does not follow|is missing one or more|Element \S+ is missing",
     {"missing-child", "misplaced-element"}),
    (r"not allowed here|document type does not allow|not allowed in|not contained in",
     {"misplaced-element", "unknown-element"}),
    (r"omitted|not closed|Unclosed element|End of file seen", {"unclosed-element", "stray-end-tag"}),
]


def kind_of(message):
    for pattern, rules in KINDS:
        if re.search(pattern, message, re.I):
            return rules
    return None


def mutations(text):
    """Variants of a valid page, one known fault each."""
    out = []
    m = re.search(r'(<img\b[^>]*?)\s+alt="[^"]*"', text, re.I)
    if m:
        out.append(("no alt", text[:m.start()] + m.group(1) + text[m.end():]))
    m = re.search(r'<p\b', text, re.I)
    if m:
        at = m.end()
        out.append(("misspelt attribute", text[:at] + ' clas="x"' + text[at:]))
        out.append(("value outside the list", text[:at] + ' dir="sideways"' + text[at:]))
        close = text.find(">", at) + 1
        out.append(("unknown element", text[:close] + "<blink>x</blink>" + text[close:]))
        out.append(("stray end tag", text[:close] + "</span>" + text[close:]))
        out.append(("div in p", text[:close] + "<div>x</div>" + text[close:]))
    m = re.search(r'\bid="([^"]+)"', text)
    if m:
        n = re.search(r'<(p|div|span|td|li)\b', text[m.end():], re.I)
        if n:
            at = m.end() + n.end()
            out.append(("duplicate id", text[:at] + ' id="' + m.group(1) + '"' + text[at:]))
    return out


def run(cmd):
    r = subprocess.run(cmd, capture_output=True, text=True, errors="replace")
    return r.stdout + r.stderr


def errors_onsgmls(path):
    found = []
    for line in run(["onsgmls", "-s", "-c", HTML4_CATALOG, HTML4_DECL, path]).splitlines():
        m = re.match(r"onsgmls:[^:]+:(\d+):\d+:E: (.*)", line)
        if m:
            found.append((int(m.group(1)), m.group(2)))
    return found


def errors_xmllint(path):
    """Up to the first well-formedness error: an XML parser stops there, and
    what xmllint's recovery reports after it is that error again."""
    found = []
    for line in run(["xmllint", "--noout", "--valid", path]).splitlines():
        m = re.match(r"[^:]+:(\d+): (?:element \S+: )?(validity|parser) error : (.*)", line)
        if m:
            found.append((int(m.group(1)), m.group(3)))
            if m.group(2) == "parser":
                break
    return found


def errors_vnu(jar):
    """One JVM for all the cases of a run: check.prepare(paths) first."""
    found = {}

    def prepare(paths):
        out = run(["java", "-jar", jar, "--format", "json", "--exit-zero-always"] + paths)
        try:
            messages = json.loads(out[out.find("{"):]).get("messages", [])
        except ValueError:
            messages = []
        for m in messages:
            if m.get("type") == "error" and "url" in m:
                path = m["url"].replace("file:", "", 1)
                found.setdefault(os.path.realpath(path), []).append((m.get("lastLine", m.get("firstLine", 0)),
                                                                     m["message"]))

    def check(path):
        return found.get(os.path.realpath(path), [])
    check.prepare = prepare
    return check


def ours(exe, path):
    out = run([exe, "check", "--format", "json", path])
    try:
        return [(p["line"], p["endLine"], p["rule"], p["message"]) for p in json.loads(out[out.find("["):])
                if p.get("severity") == "error" and "line" in p]
    except ValueError:
        return []


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    exe = os.path.join(build, "bin", "mlinsight")
    jar = sys.argv[sys.argv.index("--vnu") + 1] if "--vnu" in sys.argv else None
    pages = sorted(p for p in glob.glob("/usr/share/doc/**/*.html", recursive=True) if os.path.isfile(p))
    families = {"onsgmls (HTML 4.01)": [], "xmllint --valid (XHTML 1.0)": [], "vnu (HTML5)": []}
    for path in pages:
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        head = text[:400]
        if "XHTML 1.0" in head:
            families["xmllint --valid (XHTML 1.0)"].append((path, text))
        elif "HTML 4.01" in head and "http://www.w3.org/TR/html4/" in head:
            families["onsgmls (HTML 4.01)"].append((path, text))
        elif re.match(r"\s*<!DOCTYPE html>", text, re.I):
            families["vnu (HTML5)"].append((path, text))
    checkers = {"onsgmls (HTML 4.01)": errors_onsgmls, "xmllint --valid (XHTML 1.0)": errors_xmllint,
                "vnu (HTML5)": errors_vnu(jar) if jar else None}
    tmp = tempfile.mkdtemp(prefix="mlinsight-conformance-")
    for family, docs in families.items():
        check = checkers[family]
        if not check or not docs:
            print(f"## {family}: skipped ({'no validator' if not check else 'no pages'})")
            continue
        theirs_total = found = extra_total = cases = 0
        extras = []
        written = []
        for path, text in docs[:40]:
            for name, variant in [("as installed", text)] + mutations(text):
                case = os.path.join(tmp, f"{len(written)}.html")
                with open(case, "w", encoding="utf-8") as f:
                    f.write(variant)
                written.append((path, name, case))
        if hasattr(check, "prepare"):
            check.prepare([case for _, _, case in written])
        for path, name, case in written:
                cases += 1
                theirs = check(case)
                mine = ours(exe, case)
                # A problem's lines: where it starts to where it ends ("</P" then ">").
                matched = set()
                mine_lines = {}
                for first, last, rule, _ in mine:
                    for line in range(first, last + 1):
                        mine_lines.setdefault(line, set()).add(rule)
                for line, message in theirs:
                    theirs_total += 1
                    kind = kind_of(message)
                    rules = mine_lines.get(line, set())
                    # "mismatch: meta line 5 and head": the element left open is on line 5.
                    opened = re.search(r"mismatch: \S+ line (\d+)", message)
                    if opened and kind and not rules & kind:
                        rules = rules | mine_lines.get(int(opened.group(1)), set())
                        matched |= {(int(opened.group(1)), rule) for rule in rules}
                    # A content model is judged where its element ends (xmllint), its child where it stands (us).
                    if kind and "misplaced-element" in kind and not rules & kind:
                        for before in range(max(1, line - 200), line):
                            near = mine_lines.get(before, set()) & kind
                            rules = rules | near
                            matched |= {(before, rule) for rule in near}
                    if rules and (kind is None or rules & kind):
                        found += 1
                        matched |= {(line, rule) for rule in rules}
                    elif "--missed" in sys.argv:
                        print(f"  missed: {os.path.basename(path)} ({name}) line {line}: {message}")
                their_lines = {line for line, _ in theirs}
                # Past a validator's fatal error it says nothing more.
                stop = theirs[-1][0] if theirs and re.search(r"mismatch|Extra content|EntityRef|parser",
                                                              theirs[-1][1]) else 1 << 30
                for first, last, rule, message in mine:
                    line = first
                    used = any((l, rule) in matched for l in range(first, last + 1))
                    if not used and first <= stop and not their_lines & set(range(first, last + 1)):
                        extra_total += 1
                        extras.append(f"{os.path.basename(path)} ({name}) line {line}: {message} [{rule}]")
        share = 100.0 * found / theirs_total if theirs_total else 100.0
        print(f"## {family}: {len(docs[:40])} pages, {cases} cases")
        print(f"validator errors: {theirs_total}; found by mlinsight (same line, same kind): {found} ({share:.1f} %)")
        print(f"mlinsight errors on lines without a validator error: {extra_total}")
        for e in extras[:int(os.environ.get("SHOW", "30"))]:
            print("  " + e)
    return 0


if __name__ == "__main__":
    sys.exit(main())
