#!/usr/bin/env python3
"""Checks that no instruction beyond a build's baseline can reach code that runs everywhere.

The instruction-set variants (the files given to dravik_add_variant in a CMakeLists.txt) are
built with their own -m flags and called only after the processor probe. Any other code, and
any out-of-line copy of a shared inline helper, must keep to the instructions the build's own
flags give (i686 without MMX or SSE for win32 and host32, x86-64 with SSE2 for win64): the
linker keeps one copy of each COMDAT (inline, template) function and may keep a variant's,
which would then also serve the portable callers and crash on older processors. That happens
in Debug builds, where inline helpers are emitted out of line, and with link-time
optimisation.

For each object of the given build folders, every function is disassembled (the toolchain's
objdump, from CMakeCache.txt) and each instruction classified by the instruction-set extension
it needs. A function that needs one the baseline lacks must
  - come from a variant object,
  - live in a section of its own object only (no COMDAT, .linkonce or ELF group section, not
    weak), and
  - be local (static or in an anonymous namespace) or carry a global name that names its
    variant, i.e. contains what follows the first underscore of the file name (avx2,
    avx2_x86, shani, ...), so that it cannot stand in for a same-named function elsewhere.
Offenders are printed and the exit code is 1; otherwise one summary line and exit code 0.

Each variant file is also compiled again without optimisation (its own command from the
build's makefiles, -O0 added) and that object checked too, so that an optimised build also
shows what a Debug build would emit out of line; --no-O0 leaves that out.

Usage: tools/isa_leak_check.py [--no-O0] BUILD_DIR...
"""

import bisect
import concurrent.futures
import glob
import os
import re
import shlex
import tempfile
import shutil
import subprocess
import sys

# Extension names as the compiler's predefined macros announce them; the baseline of a build is
# the set its global flags define.
BASELINE_MACROS = {
    "mmx": "__MMX__",
    "sse2": "__SSE2__",
    "sse3": "__SSE3__",
    "ssse3": "__SSSE3__",
    "sse4.1": "__SSE4_1__",
    "sse4.2": "__SSE4_2__",
    "avx": "__AVX__",
    "avx512": "__AVX512F__",
    "bmi": "__BMI__",
    "bmi2": "__BMI2__",
    "sha": "__SHA__",
    "pclmul": "__PCLMUL__",
    "aes": "__AES__",
    "popcnt": "__POPCNT__",
    "lzcnt": "__LZCNT__",
    "movbe": "__MOVBE__",
    "adx": "__ADX__",
}

SSE3 = {"addsubps", "addsubpd", "haddps", "haddpd", "hsubps", "hsubpd", "lddqu", "movddup",
        "movshdup", "movsldup", "fisttp", "fisttps", "fisttpl", "fisttpll", "monitor", "mwait"}
SSSE3 = {"pshufb", "palignr", "phaddw", "phaddd", "phaddsw", "phsubw", "phsubd", "phsubsw",
         "pmaddubsw", "pmulhrsw", "psignb", "psignw", "psignd", "pabsb", "pabsw", "pabsd"}
SSE41 = {"pblendw", "pblendvb", "blendps", "blendpd", "blendvps", "blendvpd", "dpps", "dppd",
         "extractps", "insertps", "movntdqa", "mpsadbw", "packusdw", "pcmpeqq", "pextrb",
         "pextrd", "pextrq", "pinsrb", "pinsrd", "pinsrq", "phminposuw", "pmaxsb", "pmaxsd",
         "pmaxud", "pmaxuw", "pminsb", "pminsd", "pminud", "pminuw", "pmuldq", "pmulld", "ptest",
         "roundps", "roundpd", "roundss", "roundsd"}
SSE42 = {"pcmpestri", "pcmpestrm", "pcmpistri", "pcmpistrm", "pcmpgtq", "crc32b", "crc32w",
         "crc32l", "crc32q", "crc32"}
BMI1 = {"andn", "bextr", "blsi", "blsmsk", "blsr"}
BMI2 = {"bzhi", "mulx", "pdep", "pext", "rorx", "sarx", "shlx", "shrx"}
# SSE instructions that name no XMM register.
SSE_NO_XMM = {"ldmxcsr", "stmxcsr", "sfence", "lfence", "mfence", "movnti", "movntil",
              "movntiq", "clflush", "prefetchnta", "prefetcht0", "prefetcht1", "prefetcht2"}
PREFIXES = {"rep", "repz", "repnz", "repe", "repne", "lock", "data16", "data32", "addr16",
            "addr32", "notrack", "bnd", "cs", "ds", "es", "ss", "fs", "gs", "xacquire",
            "xrelease", "{vex}", "{vex3}", "{evex}"}
MASK_INSN = re.compile(r"^k(mov|and|andn|or|xor|xnor|not|shiftl|shiftr|ortest|test|add|unpck)")
MMX_REG = re.compile(r"%mm[0-7]\b")
XMM_REG = re.compile(r"%xmm\d")
EVEX_OPERAND = re.compile(r"%zmm\d|%k[0-7]\b|\{%k|\{z\}|\{1to")
# objdump -d: section starts and function labels (MARK); instructions that needs() must see
# (CANDIDATE: any naming a vector or mask register, or starting like an extension's mnemonic).
MARK = re.compile(r"^(?:Disassembly of section (.+):|[0-9a-f]+ <(.+)>:)$", re.M)
CANDIDATE = re.compile(
    r"^ *[0-9a-f]+:\t((?=[^\n]*%(?:[xyz]?mm\d|k[0-7]\b))[^\n]*|(?:[a-z0-9{}]+ )*?"
    r"(?:v|k|sha|pclmul|aes|fisttp|monitor|mwait|crc32|popcnt|lzcnt|movbe|adcx|adox|f?emms|"
    r"andn|bextr|bls|bzhi|mulx|pdep|pext|rorx|sarx|shlx|shrx|ldmxcsr|stmxcsr|[slm]fence|"
    r"movnti|clflush|prefetch)[^\n]*)$", re.M)


def needs(insn):
    """The extension one disassembled instruction needs beyond plain x86, or None."""
    words = insn.split()
    while words and words[0] in PREFIXES:
        words = words[1:]
    if not words:
        return None
    m, ops = words[0], " ".join(words[1:])
    if EVEX_OPERAND.search(ops) or MASK_INSN.match(m):
        return "avx512"
    if m.startswith("v") and m not in ("verr", "verw"):
        return "avx"
    if m in BMI1 or m.rstrip("lq") in BMI1:
        return "bmi"
    if m in BMI2 or m.rstrip("lq") in BMI2:
        return "bmi2"
    if m.startswith(("sha1", "sha256", "sha512")):
        return "sha"
    if m.startswith("pclmul"):
        return "pclmul"
    if m.startswith("aes"):
        return "aes"
    if m in SSE42:
        return "sse4.2"
    if m in SSE41:
        return "sse4.1"
    if m in SSSE3:
        return "ssse3"
    if m in SSE3:
        return "sse3"
    if m.startswith("popcnt"):
        return "popcnt"
    if m.startswith("lzcnt"):
        return "lzcnt"
    if m.startswith("movbe"):
        return "movbe"
    if m.startswith(("adcx", "adox")):
        return "adx"
    # tzcnt is left out: GCC writes "rep bsf" for count-trailing-zeros on any processor (the
    # encoding of tzcnt), which runs as bsf where BMI is missing.
    if MMX_REG.search(ops) or m in ("emms", "femms"):
        return "mmx"
    if XMM_REG.search(ops) or m in SSE_NO_XMM:
        return "sse2"
    return None


def read_cache(build):
    cache = {}
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8", errors="replace") as f:
        for line in f:
            m = re.match(r"^([A-Za-z0-9_]+):[A-Z]+=(.*)$", line.rstrip("\n"))
            if m:
                cache[m.group(1)] = m.group(2)
    return cache


def compiler(build, cache):
    """The build's C++ compiler (a toolchain file sets it outside the cache)."""
    if cache.get("CMAKE_CXX_COMPILER"):
        return cache["CMAKE_CXX_COMPILER"]
    for path in glob.glob(os.path.join(build, "CMakeFiles", "*", "CMakeCXXCompiler.cmake")):
        with open(path, encoding="utf-8") as f:
            m = re.search(r'^set\(CMAKE_CXX_COMPILER "([^"]+)"\)', f.read(), re.M)
        if m:
            return m.group(1)
    raise SystemExit(f"isa_leak_check: {build}: no C++ compiler recorded")


def baseline(build, cache):
    """The extensions that the build's global flags (no per-file flags) give every file."""
    flags = cache.get("CMAKE_CXX_FLAGS", "").split()
    build_type = cache.get("CMAKE_BUILD_TYPE", "").upper()
    if build_type:
        flags += cache.get("CMAKE_CXX_FLAGS_" + build_type, "").split()
    out = subprocess.run([compiler(build, cache), *flags, "-dM", "-E", "-x", "c++",
                          os.devnull], capture_output=True, text=True, check=True).stdout
    defined = set(re.findall(r"^#define (\w+)", out, re.M))
    return {ext for ext, macro in BASELINE_MACROS.items() if macro in defined}


def split_cmake(text):
    """(command, [arguments]) of a CMake file, comments dropped; enough for our own lists."""
    text = re.sub(r"#[^\n]*", "", text)
    for m in re.finditer(r"([A-Za-z_][A-Za-z0-9_]*)\s*\(([^()]*)\)", text):
        yield m.group(1).lower(), m.group(2).split()


def declared_variants(source_dir):
    """Source paths (relative to the source folder) given to dravik_add_variant anywhere."""
    variants = set()
    for folder, dirs, files in os.walk(source_dir):
        dirs[:] = [d for d in dirs if not d.startswith(("build", "."))]
        if "CMakeLists.txt" not in files:
            continue
        with open(os.path.join(folder, "CMakeLists.txt"), encoding="utf-8") as f:
            text = f.read()
        variables, loops, in_function = {}, [], 0

        def expand(words):
            out = []
            for w in words:
                m = re.fullmatch(r"\$\{(\w+)\}", w)
                out += variables.get(m.group(1), []) if m else [w]
            return out

        for cmd, args in split_cmake(text):
            if cmd in ("function", "macro"):
                in_function += 1
            elif cmd in ("endfunction", "endmacro"):
                in_function -= 1
            elif in_function:
                continue
            elif cmd == "set" and args:
                variables[args[0]] = expand(args[1:])
            elif cmd == "foreach" and args:
                items = args[1:]
                if items[:1] == ["IN"]:
                    items = items[1:]
                    if items[:1] == ["LISTS"]:
                        items = [v for name in items[1:] for v in variables.get(name, [])]
                    elif items[:1] == ["ITEMS"]:
                        items = items[1:]
                loops.append((args[0], variables.get(args[0])))
                variables[args[0]] = expand(items)
            elif cmd == "endforeach" and loops:
                name, old = loops.pop()
                variables.pop(name, None) if old is None else variables.__setitem__(name, old)
            elif cmd == "dravik_add_variant" and args:
                for file in expand(args[:1]):
                    path = os.path.normpath(os.path.join(folder, file))
                    variants.add(os.path.relpath(path, source_dir).replace(os.sep, "/"))
    return variants


def objects(build):
    """(object path, its source path as CMake names it) of every target of the build."""
    with open(os.path.join(build, "CMakeFiles", "TargetDirectories.txt"), encoding="utf-8") as f:
        target_dirs = [line.strip() for line in f if line.strip().endswith(".dir")]
    for target_dir in target_dirs:
        for folder, _, files in os.walk(target_dir):
            for name in files:
                if name.endswith((".obj", ".o")):
                    path = os.path.join(folder, name)
                    source = os.path.relpath(path, target_dir).rsplit(".", 1)[0]
                    yield path, source.replace(os.sep, "/")


def compile_commands(build, target_dirs):
    """Object path -> (folder, argument list) of each C++ compile rule of the build's makefiles."""
    commands = {}
    for target_dir in target_dirs:
        try:
            with open(os.path.join(target_dir, "flags.make"), encoding="utf-8") as f:
                variables = dict(re.findall(r"^(CXX_\w+) = (.*)$", f.read(), re.M))
            with open(os.path.join(target_dir, "build.make"), encoding="utf-8") as f:
                rules = f.read()
        except FileNotFoundError:
            continue
        for m in re.finditer(r"^\t(?:cd (\S+) && )?(\S+) (\$\(CXX_DEFINES\).*)$", rules, re.M):
            folder = m.group(1) or build
            words = re.sub(r"\$\((CXX_\w+)\)", lambda v: variables.get(v.group(1), ""),
                           m.group(3))
            args = shlex.split(words)
            if "-o" in args and "-c" in args:
                commands[os.path.abspath(os.path.join(folder, args[args.index("-o") + 1]))] = (
                    folder, [m.group(2), *args])
    return commands


def unoptimised(build, variant_objects, out_dir):
    """Each variant object built again without optimisation (-O0 last, as a Debug build has
    it), so that the inline helpers it includes are emitted out of line where a leak shows."""
    with open(os.path.join(build, "CMakeFiles", "TargetDirectories.txt"), encoding="utf-8") as f:
        target_dirs = [line.strip() for line in f if line.strip().endswith(".dir")]
    commands = compile_commands(build, target_dirs)

    def rebuild(item):
        index, (path, source) = item
        if os.path.abspath(path) not in commands:
            raise SystemExit(f"isa_leak_check: {build}: no compile rule for {path}")
        folder, args = commands[os.path.abspath(path)]
        out = os.path.join(out_dir, f"{index}-{os.path.basename(path)}")
        keep, skip = [], 0
        for a in args:
            if skip:
                skip -= 1
            elif a in ("-MT", "-MF", "-o"):
                skip = 1
            elif a not in ("-MD", "-Werror"):
                keep.append(a)
        c = keep.index("-c")
        keep[c:c] = ["-O0", "-g0", "-w", "-o", out]
        done = subprocess.run(keep, cwd=folder, capture_output=True, text=True)
        if done.returncode != 0:
            raise SystemExit(f"isa_leak_check: {build}: {source} does not build at -O0:\n"
                             + done.stderr)
        return out, source

    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        return list(pool.map(rebuild, enumerate(variant_objects)))


def run(tool, *args):
    return subprocess.run([tool, *args], capture_output=True, text=True, check=True).stdout


def scan(objdump, readelf, path):
    """Per function of one object: (name, section, mergeable, local, {extension: example})."""
    headers = run(objdump, "-h", "-w", path)
    is_elf = " file format elf" in headers
    mergeable_sections = set()
    if is_elf:
        for line in run(readelf, "-S", "-W", path).splitlines():
            m = re.match(r"\s*\[\s*\d+\]\s+(\S+)\s+\S+\s+(?:\S+\s+){4}(\S*)", line)
            if m and "G" in m.group(2):
                mergeable_sections.add(m.group(1))
    else:
        for line in headers.splitlines():
            fields = line.split()
            if len(fields) > 2 and fields[0].isdigit() and ("COMDAT" in line or "LINK_ONCE" in line):
                mergeable_sections.add(fields[1])
    local, weak = set(), set()
    for line in run(objdump, "-t", path).splitlines():
        if is_elf:
            m = re.match(r"^[0-9a-f]+ (.{7}) (\S+)\s+[0-9a-f]+\s+(?:\.hidden |\.protected |\.internal )?(\S+)$", line)
            if m:
                flags, name = m.group(1), m.group(3)
                if flags[0] == "l":
                    local.add(name)
                if "w" in flags or flags[0] == "u":
                    weak.add(name)
        else:
            m = re.match(r"^\[\s*\d+\]\(sec\s+(-?\d+)\).*\(scl\s+(\d+)\).*\s(\S+)$", line)
            if m:
                if m.group(2) in ("3", "6"):
                    local.add(m.group(3))
                elif m.group(2) == "105":
                    weak.add(m.group(3))
    # Labels, section starts and, of the instructions, only those that may need an extension
    # (a vector or mask register, or a mnemonic of an extension); needs() decides on them.
    text = run(objdump, "-d", "-w", "--no-show-raw-insn", path)
    marks = [(m.start(), m.group(1), m.group(2)) for m in MARK.finditer(text)]
    starts = [pos for pos, _, _ in marks]
    functions, section = [], None
    for _, sect, name in marks:
        if sect is not None:
            section = sect
            continue
        functions.append((name, section,
                          section in mergeable_sections or name in weak or name.startswith(".weak."),
                          name in local, {}))
    owner, count = [], 0  # per mark: the function it starts, -1 for a section start
    for _, sect, _ in marks:
        owner.append(-1 if sect is not None else count)
        count += sect is None
    for m in CANDIDATE.finditer(text):
        ext = needs(m.group(1))
        if not ext:
            continue
        at = bisect.bisect_right(starts, m.start()) - 1
        if at < 0 or owner[at] < 0:
            continue
        exts = functions[owner[at]][4]
        exts.setdefault(ext, m.group(1).split("#")[0].strip())
    return functions


def demangle(tool, names):
    if not names or not tool:
        return {n: n for n in names}
    out = subprocess.run([tool], input="\n".join(names), capture_output=True, text=True).stdout
    return dict(zip(names, out.splitlines()))


def main():
    args = sys.argv[1:]
    recompile = "--no-O0" not in args
    builds = [a for a in args if a != "--no-O0"]
    if not builds:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    offenders, n_objects, n_functions, n_variant_functions, n_again = [], 0, 0, 0, 0
    for build in builds:
        cache = read_cache(build)
        objdump = cache.get("CMAKE_OBJDUMP") or "objdump"
        readelf = cache.get("CMAKE_READELF") or "readelf"
        filt = objdump[: -len("objdump")] + "c++filt"
        filt = filt if shutil.which(filt) else shutil.which("c++filt")
        base = baseline(build, cache)
        variants = declared_variants(cache["CMAKE_HOME_DIRECTORY"])
        objs = list(objects(build))

        def variant_of(source):
            for v in variants:
                if source == v or source.endswith("/" + v) or v.endswith("/" + source):
                    return v
            return None

        if not any(variant_of(s) for _, s in objs):
            print(f"isa_leak_check: {build}: no object of a dravik_add_variant file found "
                  f"(declared: {len(variants)}); is the build there?", file=sys.stderr)
            return 2
        scratch = tempfile.TemporaryDirectory(prefix="isa_leak_check.")
        if recompile:
            again = unoptimised(build, [o for o in objs if variant_of(o[1])], scratch.name)
            n_again += len(again)
            objs += [(path, source + " (built again at -O0)") for path, source in again]
        with scratch, concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
            results = pool.map(lambda o: (o, scan(objdump, readelf, o[0])), objs)
            found = []
            for (path, source), functions in results:
                n_objects += 1
                variant = variant_of(source.split(" ")[0])
                tag = None
                if variant:
                    stem = os.path.splitext(os.path.basename(variant))[0]
                    tag = stem.split("_", 1)[1].lower() if "_" in stem else stem.lower()
                for name, section, mergeable, is_local, exts in functions:
                    n_functions += 1
                    beyond = {e: i for e, i in exts.items() if e not in base}
                    if not beyond:
                        continue
                    if variant:
                        n_variant_functions += 1
                    why = []
                    if not variant:
                        why.append("not in a variant file")
                    if mergeable:
                        why.append(f"mergeable (COMDAT/linkonce/weak, section {section})")
                    if variant and not is_local and tag not in name.lower():
                        why.append(f"global name without the variant's '{tag}'")
                    if why:
                        found.append((build, source, name, beyond, why))
        names = demangle(filt, sorted({f[2] for f in found}))
        for build_, source, name, beyond, why in found:
            ext = ", ".join(f"{e} ({i})" for e, i in sorted(beyond.items()))
            offenders.append(f"{build_}: {source}: {names.get(name, name)}\n"
                             f"    uses {ext}\n    but is {'; '.join(why)}")
    if offenders:
        print("isa_leak_check: functions with instructions beyond the baseline outside a "
              "variant's own code:")
        for o in offenders:
            print("  " + o)
        print(f"isa_leak_check: {len(offenders)} offending functions")
        return 1
    print(f"isa_leak_check: {len(builds)} builds, {n_objects} objects ({n_again} variants built "
          f"again at -O0), {n_functions} functions; "
          f"the {n_variant_functions} with instructions beyond the baseline are all variants' own")
    return 0


if __name__ == "__main__":
    sys.exit(main())
