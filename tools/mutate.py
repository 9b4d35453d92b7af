#!/usr/bin/env python3
"""Mutation testing: plants one small fault at a time in src/*/*.cpp, rebuilds, runs the test
suite and reports the faults that no test caught.

Run from the project root: python3 tools/mutate.py [--list]
It clones the committed HEAD into $MUT_DIR/p (your working tree is never touched; commit
first), configures a plain Debug build with the tests (no sanitizers) in $MUT_DIR/b, checks
that the unmutated suite passes, then for each mutant writes the mutated file, builds and runs
CTest without the valgrind test. A mutant that does not compile is "stillborn" (the next
candidate of the same file takes its place); a failing test "kills" it; one whose tests all
pass, the valgrind test too, "survives". Survivors listed in tests/mutants-equivalent.txt
("file:line: original -> mutated", as printed here; the line number may drift: of several
lines with the same texts, the nearest is meant) count as equivalent and are left out of
the score. --list prints the sample and builds nothing. Both fail when an entry of that list
is no mutant of today's sources (any seed's) or repeats another, and a run fails when a
mutant the list excuses is killed: its excuse is wrong.

Operators, one source line each (comments and # lines skipped): ROR < <= > >= == != (with
blanks on both sides), AOR binary + - += -=, LCR && ||, CRP an integer constant +1/-1 (array
sizes in declarations skipped), NEG an if/while condition negated, BOOL true/false swapped,
SDL a call statement deleted, STR one ordinary character of a string literal changed. Of the
MD5 round table only the first step line of two rounds is mutated.

Sampling: each file gets a share of MUTANTS proportional to its code lines; within a file,
one mutant a line first, in a seeded order. Every test reads fixed data, so a mutant's
verdict does not change from run to run: no failing test is run again.

Environment: MUTANTS (60) SEED (1) MUT_ONLY (a regular expression: run every candidate whose
"file:line: original -> mutated" matches it instead of a sample) MUTATION_MIN (85: the exit
status is 0 when at least this percentage of non-equivalent mutants is killed) MUT_DIR
(/tmp/hpmimg-mutate) MUT_JOBS (2) MUT_BOX (420: seconds for one mutant's tests; past it the
mutant counts as killed) MUT_VALGRIND (1; 0: survivors skip the valgrind test).

However the run ends (an error, SIGINT, SIGTERM or SIGHUP included) it stops every process it
started, the tests of a mutant too, and removes MUT_DIR.lock and, unless MUT_DIR was given,
the scratch folder.
"""
import ctypes, fcntl, os, random, re, shutil, signal, subprocess, sys, time

env = os.environ.get
MUTANTS, SEED, ONLY = int(env("MUTANTS", "60")), env("SEED", "1"), env("MUT_ONLY", "")
MIN_SCORE, JOBS = float(env("MUTATION_MIN", "85")), env("MUT_JOBS", "2")
MUT_DIR = env("MUT_DIR", "/tmp/hpmimg-mutate").rstrip("/")
KEEP_DIR = "MUT_DIR" in os.environ  # the user's folder: emptied at the start, left at the end
BOX, VALGRIND = int(env("MUT_BOX", "420")), env("MUT_VALGRIND", "1") != "0"
SRC, BLD, TMP = MUT_DIR + "/p", MUT_DIR + "/b", MUT_DIR + "/tmp"


def say(*words):
    print(*words, flush=True)


def mask(line, in_comment):
    """The line with literal contents turned to '_' and comments to blanks (same length), the
    spans of its string literals, and whether a block comment is still open at its end."""
    out, spans, i, n = [], [], 0, len(line)
    while i < n:
        if in_comment:
            j = line.find("*/", i)
            if j < 0:
                out.append(" " * (n - i))
                return "".join(out), spans, True
            out.append(" " * (j + 2 - i))
            i, in_comment = j + 2, False
        elif line.startswith("//", i):
            out.append(" " * (n - i))
            break
        elif line.startswith("/*", i):
            in_comment = True
        elif line[i] in "\"'":
            j = i + 1
            while j < n and line[j] != line[i]:
                j += 2 if line[j] == "\\" else 1
            j = min(j, n - 1)
            out.append(line[i] + "_" * (j - i - 1) + line[j])
            if line[i] == '"':
                spans.append((i, j + 1))
            i = j + 1
        else:
            out.append(line[i])
            i += 1
    return "".join(out), spans, in_comment


SWAP = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==", "&&": "||",
        "||": "&&", "+": "-", "-": "+", "+=": "-=", "-=": "+="}
BINOP_RE = re.compile(r"(?<=\s)(<=|>=|==|!=|&&|\|\||\+=|-=|<|>|\+|-)(?=\s)")
NUM_RE = re.compile(r"(?<![\w.])(0[xX][0-9a-fA-F]+|\d+)([uUlL]*)(?![\w.])")
COND_RE = re.compile(r"\b(if|while)\s*\(")
BOOL_RE = re.compile(r"\b(true|false)\b")
CALL_RE = re.compile(r"^(\s*)([A-Za-z_][\w:]*(?:\s*(?:\.|->)\s*[A-Za-z_]\w*)*)\s*\(")
DECL_RE = re.compile(r"(?:^|[\s(,])([A-Za-z_][\w:]*)(?:\s*[*&]\s*|\s+)(?:const\s+)?[A-Za-z_]\w*$")
STMT_END_RE = re.compile(r"([;{}:]|^(}\s*)?else|^(}\s*else\s+)?(if|while|for)\s*\(.*\))$")
KEYWORDS = {"if", "while", "for", "switch", "return", "sizeof", "case", "else", "do", "delete",
            "new", "throw", "static_cast", "reinterpret_cast", "const_cast"}
STEP_RE = re.compile(r"^\s*step<([fghi])>\(")


def kind_of(op):
    return "LCR" if op in ("&&", "||") else "AOR" if op[0] in "+-" else "ROR"


def bump(token, delta):
    if token[:2] in ("0x", "0X"):
        text = "%0*x" % (len(token) - 2, int(token, 16) + delta)
        return token[:2] + (text if any(c.islower() for c in token[2:]) else text.upper())
    return str(int(token) + delta)


def string_mutants(line, span, seed_key):
    """One ordinary character of the literal (not an escape, not a % conversion) changed: the
    one the seed picks, or with seed_key None each of them."""
    start, end = span
    body, spots, k = line[start + 1:end - 1], [], 0
    while k < len(body):
        if body[k] == "\\":
            k += 2
        elif body[k] == "%":
            m = re.match(r"%[-+ #0]*\d*(?:\.\d+)?(?:hh|h|ll|l|z|j|t|L)?[a-zA-Z%]", body[k:])
            k += len(m.group(0)) if m else 1
        else:
            spots.append(k)
            k += 1
    if spots and seed_key is not None:
        spots = [random.Random(seed_key).choice(spots)]
    out = []
    for k in spots:
        c = body[k]
        new = c.swapcase() if c.isalpha() else str((int(c) + 1) % 10) if c.isdigit() else \
            "_" if c == " " else "#" if c != "#" else "@"
        out.append(line[:start + 1 + k] + new + line[start + 2 + k:])
    return out


def candidates(path, lines, every_string=False):
    """Every mutant of a file (line, kind, col, new text, span of lines replaced) and the
    number of its code lines; with every_string, each string mutant any seed could make."""
    masked, in_comment = [], False
    for line in lines:
        code, spans, in_comment = mask(line, in_comment)
        masked.append((code, spans))
    out, code_lines, steps = [], 0, {}
    for idx, line in enumerate(lines):
        code, spans = masked[idx]
        if not code.strip() or code.strip().startswith("#"):
            continue
        step = STEP_RE.match(code)
        if step:  # the MD5 round table: only the first line of rounds f and i
            steps[step.group(1)] = steps.get(step.group(1), -1) + 1
            if step.group(1) not in "fi" or steps[step.group(1)] > 0:
                continue
        code_lines += 1

        def add(kind, col, new, span=1):
            out.append({"file": path, "line": idx + 1, "kind": kind, "col": col, "new": new,
                        "span": span, "orig": line})

        for m in BINOP_RE.finditer(code):
            add(kind_of(m.group(1)), m.start(),
                line[:m.start()] + SWAP[m.group(1)] + line[m.end():])
        for m in NUM_RE.finditer(code):
            decl = DECL_RE.search(code[:m.start() - 1])
            if code[:m.start()].endswith("[") and code[m.end():].lstrip("uUlL").startswith("]") \
                    and decl and decl.group(1) not in KEYWORDS:
                continue  # an array size in a declaration ("char text[6]", not "return x[2]")
            token = m.group(1)
            for delta in (1, -1):
                if int(token, 0 if token[:2] in ("0x", "0X") else 10) + delta >= 0:
                    add("CRP", m.start(),
                        line[:m.start()] + bump(token, delta) + line[m.start() + len(token):])
        for m in COND_RE.finditer(code):
            depth, close = 0, -1
            for k in range(m.end() - 1, len(code)):
                depth += {"(": 1, ")": -1}.get(code[k], 0)
                if depth == 0:
                    close = k
                    break
            if close > 0:
                add("NEG", m.end() - 1,
                    line[:m.end()] + "!(" + line[m.end():close] + ")" + line[close:])
        for m in BOOL_RE.finditer(code):
            add("BOOL", m.start(), line[:m.start()] +
                ("false" if m.group(1) == "true" else "true") + line[m.end():])
        for s in spans:
            seed_key = None if every_string else "%s:%s:%d:%d" % (SEED, path, idx + 1, s[0])
            for new in string_mutants(line, s, seed_key):
                add("STR", s[0], new)
        previous = next((masked[j][0].strip() for j in range(idx - 1, -1, -1)
                         if masked[j][0].strip()), ";")
        m = CALL_RE.match(code)
        if m and m.group(2).split("::")[-1].split(".")[0] not in KEYWORDS and \
                (previous.startswith("#") or STMT_END_RE.search(previous)):
            # a statement that is one call: find its closing parenthesis, then only ";"
            depth, j, pos = 0, idx, m.end() - 1
            while j < min(len(lines), idx + 12):
                text = masked[j][0]
                for q in range(pos, len(text)):
                    depth += {"(": 1, ")": -1}.get(text[q], 0)
                    if depth == 0:
                        break
                if depth == 0:
                    if text[q + 1:].strip() == ";":
                        add("SDL", len(m.group(1)), m.group(1) + "{}", j - idx + 1)
                    break
                j, pos = j + 1, 0
    return out, code_lines


def sample(files):
    """A seeded queue per file and its share of MUTANTS (by code lines, largest remainder)."""
    sizes = {p: size for p, (cands, size) in files.items() if cands}
    total = sum(sizes.values()) or 1
    raw = {p: MUTANTS * size / total for p, size in sizes.items()}
    quota = {p: min(int(raw[p]), len(files[p][0])) for p in raw}
    left = MUTANTS - sum(quota.values())
    while left > 0:
        open_files = [p for p in sorted(raw, key=lambda p: (int(raw[p]) - raw[p], p))
                      if quota[p] < len(files[p][0])]
        if not open_files:
            break
        for p in open_files[:left]:
            quota[p] += 1
            left -= 1
    queues = {}
    for p in sizes:
        rng = random.Random("%s:%s" % (SEED, p))
        by_line = {}
        for c in files[p][0]:
            by_line.setdefault(c["line"], {}).setdefault(c["kind"], []).append(c)
        order = sorted(by_line)
        rng.shuffle(order)
        first = [rng.choice(by_line[n][rng.choice(sorted(by_line[n]))]) for n in order]
        rest = [c for c in files[p][0] if all(c is not f for f in first)]
        rng.shuffle(rest)
        queues[p] = first + rest
    return quota, queues


def run(cmd, timeout, **kw):
    """Runs cmd in a session of its own, killed whole on timeout. Returns (status or None on
    timeout, output)."""
    def limits():  # no planted fault may fill the disk: 16 GiB a file at most
        import resource
        resource.setrlimit(resource.RLIMIT_FSIZE, (16 << 30, 16 << 30))
    p = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                         start_new_session=True, preexec_fn=limits, **kw)
    try:
        out, status = p.communicate(timeout=timeout)[0], p.returncode
    except subprocess.TimeoutExpired:
        stop_all(p)
        out, status = p.communicate()[0], None
    finally:  # a signal or an error too: nothing the command started may outlive it
        stop_all(p)
    return status, out.decode("utf-8", "replace")


def stop_all(p=None):
    """Kills the command's process group, then every process started under this one that is
    left (a test may start its own group, as timeout does; this process adopts the orphans),
    and reaps them."""
    if p is not None:
        try:
            os.killpg(p.pid, signal.SIGKILL)
        except OSError:
            pass
        p.wait()
    for _ in range(200):  # 10 s at most: a process in the kernel's uninterruptible sleep waits
        while True:  # reap the orphans this process adopted
            try:
                if os.waitpid(-1, os.WNOHANG)[0] == 0:
                    break
            except ChildProcessError:
                break
        left = descendants()
        if not left:
            return
        for pid in left:
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        time.sleep(0.05)


def descendants():
    """The processes below this one, from /proc."""
    children = {}
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/stat" % entry) as fh:
                parent = int(fh.read().rsplit(")", 1)[1].split()[1])
        except (OSError, ValueError, IndexError):
            continue
        children.setdefault(parent, []).append(int(entry))
    found, todo = [], [os.getpid()]
    while todo:
        below = children.get(todo.pop(), [])
        found += below
        todo += below
    return found


def guarded(cmd):
    """As root, the suite runs with /dev read-only: a planted fault in the output code could
    rename a file onto /dev/full and leave a regular file there for every later test."""
    if os.geteuid() != 0 or not shutil.which("unshare") or \
            subprocess.run(["unshare", "-m", "true"], capture_output=True).returncode != 0:
        return cmd
    return ["unshare", "-m", "--propagation", "private", "sh", "-c",
            'mount --rbind /dev /dev && mount -o remount,bind,ro /dev && exec "$@"', "sh"] + cmd


FAILED_RE = re.compile(r"^\s*\d+ - (\S+) \(([^)]*)\)\s*$", re.M)


def run_tests(*extra, valgrind=False):
    """CTest in the mutant build, with a TMPDIR of its own that is emptied afterwards.
    Returns (status or None, {failed test: why})."""
    shutil.rmtree(TMP, ignore_errors=True)
    os.makedirs(TMP)
    cmd = ["ctest", "--test-dir", BLD, "--timeout", "120", "-j", JOBS]
    cmd += list(extra) if valgrind else ["-E", "valgrind"] + list(extra)
    status, out = run(guarded(cmd), BOX, env=dict(os.environ, TMPDIR=TMP))
    shutil.rmtree(TMP, ignore_errors=True)
    failed = dict(FAILED_RE.findall(out.split("The following tests FAILED", 1)[1])) \
        if "The following tests FAILED" in out else {}
    return status, failed, out


def build():
    status, out = run(["cmake", "--build", BLD, "-j", JOBS], 600)
    return status == 0, out


def key(m):
    return "%s:%d: %s -> %s" % (m["file"], m["line"], m["orig"].strip(), m["new"].strip())


EQUIVALENTS = "tests/mutants-equivalent.txt"


def equivalents(texts):
    """{(file, line, original, mutated): where listed} of the listed equivalent mutants, and
    what is wrong with the list: a line that is no entry, an entry that no seed makes of
    texts, two entries for one mutant. Where the texts occur on several lines of the file,
    the entry is the mutant of the line nearest to its line number."""
    listed, wrong = {}, []
    path = os.path.join(SRC, EQUIVALENTS)
    lines_of = {}
    for f, text in texts.items():
        for c in candidates(f, text.split("\n"), every_string=True)[0]:
            lines_of.setdefault((f, c["orig"].strip(), c["new"].strip()), []).append(c["line"])
    for number, line in enumerate(open(path) if os.path.isfile(path) else [], 1):
        where = "%s:%d" % (EQUIVALENTS, number)
        m = re.match(r"^(\S+?):(\d+): (.*?) -> (.*)$", line.strip())
        if m:
            texts_at = (m.group(1), m.group(3).strip(), m.group(4).strip())
            if texts_at not in lines_of:
                wrong.append("%s: no mutant of today's sources: %s" % (where, line.strip()))
                continue
            nearest = min(lines_of[texts_at], key=lambda n: abs(n - int(m.group(2))))
            entry = (texts_at[0], nearest) + texts_at[1:]
            if entry in listed:
                wrong.append("%s: the mutant of %s again: %s" % (where, listed[entry], line.strip()))
            listed[entry] = where
        elif line.strip() and not line.startswith("#"):
            wrong.append("%s: not \"file:line: original -> mutated\": %s" % (where, line.strip()))
    return listed, wrong


def judge():
    """Builds the mutant and runs the tests: killed, survived or stillborn."""
    ok, _ = build()
    if not ok:
        return "stillborn", []
    status, failed, _ = run_tests()
    if status is None:
        return "killed", ["(time box %ds)" % BOX]
    if status != 0:
        return "killed", sorted(failed) or ["(ctest status %d)" % status]
    if VALGRIND:
        status, failed, _ = run_tests("-R", "valgrind", valgrind=True)
        if status != 0:
            return "killed", sorted(failed) or ["(time box)" if status is None else "valgrind"]
    return "survived", []


def take_lock(path):
    """The lock file, locked; None when another run holds it. A file that a run ending
    meanwhile removed is no lock any more: then again."""
    while True:
        lock = open(path, "a")
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except OSError:
            lock.close()
            return None
        try:
            if os.path.samestat(os.fstat(lock.fileno()), os.stat(path)):
                return lock
        except FileNotFoundError:
            pass
        lock.close()


def stopped(number, _frame):
    say("mutation: stopped by %s" % signal.Signals(number).name)
    raise SystemExit(128 + number)


def main():
    listing = "--list" in sys.argv[1:]
    top = subprocess.run(["git", "rev-parse", "--show-toplevel"], capture_output=True, text=True)
    if top.returncode != 0:
        say("mutation: not run, not in a git clone of the project")
        return 1
    stopping = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)
    for number in stopping:
        signal.signal(number, stopped)
    os.makedirs(os.path.dirname(MUT_DIR) or "/", exist_ok=True)
    lock = take_lock(MUT_DIR + ".lock")
    if lock is None:
        say("mutation: not run, another run holds %s.lock" % MUT_DIR)
        return 1
    try:
        # Orphans of the tests (a process whose parent ended) come to this process, which
        # can then stop them: PR_SET_CHILD_SUBREAPER.
        ctypes.CDLL(None, use_errno=True).prctl(36, 1, 0, 0, 0)
        return mutate(top.stdout.strip(), listing)
    finally:
        for number in stopping:
            signal.signal(number, signal.SIG_IGN)
        stop_all()
        if not KEEP_DIR:
            shutil.rmtree(MUT_DIR, ignore_errors=True)
        os.unlink(MUT_DIR + ".lock")
        lock.close()


def mutate(top, listing):
    """Clones top into MUT_DIR, lists or runs the mutants; the exit status."""
    shutil.rmtree(MUT_DIR, ignore_errors=True)
    os.makedirs(MUT_DIR)
    if subprocess.run(["git", "clone", "-q", top, SRC]).returncode != 0:
        return 1
    head = subprocess.run(["git", "-C", SRC, "rev-parse", "--short", "HEAD"],
                          capture_output=True, text=True).stdout.strip()
    sources = sorted(f for f in subprocess.run(["git", "-C", SRC, "ls-files", "src"],
                     capture_output=True, text=True).stdout.split() if f.endswith(".cpp"))
    texts = {f: open(os.path.join(SRC, f), encoding="utf-8").read() for f in sources}
    files = {f: candidates(f, texts[f].split("\n")) for f in sources}
    if ONLY:
        only = re.compile(ONLY)
        queues = {f: [c for c in cands if only.search(key(c))] for f, (cands, _) in files.items()}
        queues = {f: q for f, q in queues.items() if q}
        quota = {f: len(q) for f, q in queues.items()}
    else:
        quota, queues = sample(files)
    planned = sum(quota.values())
    say("mutation testing %s: %d candidates in %d files, %d mutants (seed %s)" % (
        head, sum(len(c) for c, _ in files.values()), len(sources), planned, SEED))
    if listing:
        for f in sorted(quota):
            for m in queues[f][:quota[f]]:
                say("  %s %s" % (m["kind"], key(m)))
    allowed, wrong = equivalents(texts)
    if wrong:
        say("%s needs mending:" % EQUIVALENTS)
        for problem in wrong:
            say("  " + problem)
        if not listing:
            say("mutation: not run")
        return 1
    if listing:
        return 0

    generator = ["-G", "Ninja"] if shutil.which("ninja") else []
    status, out = run(["cmake", "-S", SRC, "-B", BLD] + generator +
                      ["-DCMAKE_BUILD_TYPE=Debug", "-DHPMIMG_SANITIZE=OFF", "-DHPMIMG_TESTS=ON",
                       "-DHPMIMG_BENCH=OFF", "-DHPMIMG_FUZZ=OFF"], 600)
    ok = status == 0
    if ok:
        ok, out = build()
    if ok:
        started = time.time()
        status, failed, out = run_tests()
        ok = status == 0
    if not ok:
        say(out[-3000:])
        say("mutation: not run, the unmutated project does not build or pass its tests")
        return 1
    say("unmutated suite passes in %.0f s" % (time.time() - started))

    results, stillborn, excused_killed = [], 0, []
    for f in sorted(quota):
        path, lines, queue, done = os.path.join(SRC, f), texts[f].split("\n"), queues[f], 0
        while done < quota[f] and queue:
            m = queue.pop(0)
            mutated = lines[:]
            mutated[m["line"] - 1:m["line"] - 1 + m["span"]] = [m["new"]] + [""] * (m["span"] - 1)
            started = time.time()
            try:
                with open(path, "w", encoding="utf-8") as fh:
                    fh.write("\n".join(mutated))
                verdict, killers = judge()
            finally:
                with open(path, "w", encoding="utf-8") as fh:
                    fh.write(texts[f])
            if verdict == "stillborn":
                stillborn += 1
                continue
            excuse = allowed.get((f, m["line"], m["orig"].strip(), m["new"].strip()))
            if verdict == "survived" and excuse:
                verdict = "equivalent"
            elif verdict == "killed" and excuse:
                excused_killed.append("%s: %s (%s)" % (excuse, key(m), ", ".join(killers[:3])))
            m["verdict"], done = verdict, done + 1
            results.append(m)
            say("[%d/%d] %-10s %s %s  (%.0f s%s)" % (
                len(results), planned, verdict, m["kind"], key(m), time.time() - started,
                "; " + ", ".join(killers[:3]) if killers else ""))

    count = {v: [m for m in results if m["verdict"] == v]
             for v in ("killed", "survived", "equivalent")}
    say("")
    for f in sorted(quota):
        mine = [m for m in results if m["file"] == f and m["verdict"] != "equivalent"]
        if mine:
            say("  %-26s %3d/%-3d killed" % (
                f, sum(m["verdict"] == "killed" for m in mine), len(mine)))
    if count["survived"]:
        say("survivors (faults no test caught):")
        for m in sorted(count["survived"], key=lambda m: (m["file"], m["line"], m["col"])):
            say("  " + key(m))
    scored = len(count["killed"]) + len(count["survived"])
    score = 100.0 * len(count["killed"]) / scored if scored else 0.0
    if excused_killed:
        say("excused as equivalent in %s, yet killed (the excuse is wrong):" % EQUIVALENTS)
        for line in excused_killed:
            say("  " + line)
    say("mutation: %d/%d killed (%d%%), %d equivalent, %d survived, %d stillborn%s" % (
        len(count["killed"]), scored, score, len(count["equivalent"]), len(count["survived"]),
        stillborn, ", %d wrongly excused" % len(excused_killed) if excused_killed else ""))
    return 0 if scored and score >= MIN_SCORE and not excused_killed else 1


if __name__ == "__main__":
    sys.exit(main())
