#!/usr/bin/env python3
"""The checks of scripts/wincheck that read compiler and linker output, for the
host of one width: ARCH is i686 (32-bit) or x86_64 (64-bit).

  ARCH slots ASM LAYOUTS        MsvcAbiCheck.cpp's expected virtual slots against the
                                vtable layouts clang printed and the calls in its assembly
  ARCH imports DEFDIR MODULE=OBJDIR[,OBJDIR...]... [--gnu MODULE=OBJDIR...]
                                the .def files against what the modules import
  ARCH dll DEFDIR EXPORTMAP DLL...
                                exports and imports of the linked check DLLs

Each prints what it checked and exits 1 when a check fails.
"""
import glob
import os
import re
import subprocess
import sys


class Arch:
    """What differs between the 32-bit and the 64-bit host's binaries."""

    def __init__(self, pointer, c_prefix, easyhook, triple):
        self.pointer = pointer    # bytes of a pointer, and of a vtable entry
        self.c_prefix = c_prefix  # what COFF puts before a C name (and before a GCC-mangled one)
        self.easyhook = easyhook  # the function-replacement library's DLL
        self.objdump = triple + "-objdump"


ARCHES = {
    "i686": Arch(4, "_", "EasyHook32.dll", "i686-w64-mingw32"),
    "x86_64": Arch(8, "", "EasyHook64.dll", "x86_64-w64-mingw32"),
}
arch = None


def allowed_dlls():
    """The DLLs a module may import from: the host, the function-replacement
    library of its own width, and Windows' own."""
    return {"orbiter.exe", arch.easyhook.lower(), "kernel32.dll", "user32.dll", "ws2_32.dll", "msvcrt.dll"}


failures = []


def fail(message):
    failures.append(message)
    print("  FAILED: " + message)


def finish():
    sys.exit(1 if failures else 0)


def run(command, stdin=None):
    return subprocess.run(command, input=stdin, capture_output=True, text=True, check=True).stdout


# ---- slots ----

SLOT_FUNCTION = r"^{prefix}helm_slot__([A-Za-z0-9]+)__([A-Za-z0-9_]+?)__(\d+):"
# The end of a function: the 32-bit assembly marks it, the 64-bit one closes
# its unwind information; or the next function's label.
FUNCTION_END = re.compile(r"^(?:\.Lfunc_end|\s*\.seh_endproc|[^.\s#][^\s:]*:)")
INDIRECT_CALL = re.compile(r"^\s*(?:rex64\s+)?(?:call|jmp)[lq]?\s+\*(-?\d+)?\(%[er][a-z0-9]+\)")
LAYOUT_TITLE = re.compile(r"^VFTable indices for '(.+)' \(\d+ entries\)\.")
LAYOUT_ENTRY = re.compile(r"^\s*(\d+) \| (.*)$")


def slot_functions(asm_path):
    """[class, operation, expected slot, [call displacements]] per slot function."""
    functions, current = [], None
    slot_function = re.compile(SLOT_FUNCTION.format(prefix=arch.c_prefix))
    with open(asm_path) as asm:
        for line in asm:
            match = slot_function.match(line)
            if match:
                current = [match.group(1), match.group(2), int(match.group(3)), []]
                functions.append(current)
            elif current is not None and FUNCTION_END.match(line):
                current = None
            elif current is not None:
                call = INDIRECT_CALL.match(line)
                if call:
                    current[3].append(int(call.group(1) or 0))
    return functions


def vtable_layouts(layout_path):
    """{class: [(slot, declaration)]}: the operations each class declares, as clang placed them."""
    layouts, entries = {}, None
    with open(layout_path) as text:
        for line in text:
            title = LAYOUT_TITLE.match(line)
            if title:
                entries = layouts.setdefault(title.group(1), [])
                continue
            entry = LAYOUT_ENTRY.match(line) if entries is not None else None
            if entry:
                entries.append((int(entry.group(1)), entry.group(2)))
            else:
                entries = None
    return layouts


def layout_slot(layouts, cls, operation):
    """The slot clang gave the operation declared in the class, or an error text."""
    names = [name for name in layouts if name == cls or name.endswith("::" + cls)]
    if len(names) != 1:
        return None, f"no vtable layout of {cls} printed"
    wanted = "~" + cls if operation == "destructor" else operation
    slots = [slot for slot, declaration in layouts[names[0]] if f"{names[0]}::{wanted}(" in declaration]
    if len(slots) != 1:
        return None, f"{len(slots)} entries of {names[0]}::{wanted} in its vtable layout"
    return slots[0], None


def check_slots(asm_path, layout_path):
    functions = slot_functions(asm_path)
    layouts = vtable_layouts(layout_path)
    if not functions:
        fail("no slot functions in " + asm_path)
    by_class = {}
    for cls, operation, expected, displacements in functions:
        name = f"{cls}::{operation}"
        slot, problem = layout_slot(layouts, cls, operation)
        if problem:
            fail(f"{name}: {problem}")
        elif slot != expected:
            fail(f"{name} is at slot {slot} in clang's vtable layout, expected {expected}")
        if len(displacements) != 1:
            fail(f"{name}: {len(displacements)} indirect calls in the assembly, expected one")
        elif displacements[0] != arch.pointer * expected:
            fail(f"{name} is called through vtable offset {displacements[0]}, expected {arch.pointer * expected}")
        by_class.setdefault(cls, []).append(expected)
    summary = ", ".join(f"{cls} {len(s)} ({min(s)}-{max(s)})" for cls, s in by_class.items())
    print(f"  MSVC ABI virtual slots: {len(functions)} checked against clang's vtable layouts and calls: {summary}")
    finish()


# ---- .def files and imports ----


def read_def(path):
    """(dll name, [(gnu name, host name)]) of one .def file."""
    dll, entries = None, []
    with open(path) as text:
        for line in text:
            line = line.split(";", 1)[0].strip()
            if not line or line == "EXPORTS":
                continue
            if line.startswith("LIBRARY"):
                dll = line.split()[1]
                continue
            gnu, _, host = (part.strip() for part in line.partition("=="))
            if not host:
                fail(f"{os.path.basename(path)}: '{line}' has no '== <host name>'")
                continue
            entries.append((gnu, host))
    return dll, entries


def demangle_msvc(name):
    lines = [l for l in run(["llvm-undname", name]).splitlines() if l.strip()]
    return lines[-1]


def normal_msvc(demangled):
    text = re.sub(r"^.*?__(?:cdecl|thiscall|stdcall) ", "", demangled)
    text = re.sub(r"\b(?:struct|enum|class|union) ", "", text)
    text = text.replace("(void)", "()")
    text = text.replace(" ", "").replace("*const", "*")  # a parameter's own const is not its type
    return text


def normal_gnu(name):
    return run(["llvm-cxxfilt", name]).strip().replace(" ", "")


def pair_problem(gnu, host):
    """Why the two names of one .def line are not the same function, or None."""
    if host.startswith("?"):
        left, right = normal_gnu(gnu), normal_msvc(demangle_msvc(host))
        return None if left == right else f"{left} is not {right}"
    # C names: __stdcall keeps its decoration (32-bit only), and the 32-bit
    # host adds the underscore. A GCC-mangled name needs the host's MSVC name.
    if gnu.startswith("_Z"):
        return f"{gnu} is a C++ name; the host's is MSVC-decorated (?...)"
    return None if host == arch.c_prefix + gnu else f"{host} is not {arch.c_prefix}{gnu}"


def symbols(objects, defined):
    option = "--defined-only" if defined else "--undefined-only"
    names = set()
    for line in run(["llvm-nm", option, "--no-sort", *objects]).splitlines():
        parts = line.split()
        if len(parts) >= 2 and not line.endswith(":"):
            names.add(parts[-1])
    return names


def runtime_name(name):
    return "@std@@" in name or name.startswith(("??2@", "??3@", "??_U@", "??_V@", "??_7type_info@@"))


def msvc_host_imports(objects):
    """Host and EasyHook names that MSVC-ABI objects need from outside the module."""
    needed = symbols(objects, False) - symbols(objects, True)
    host, hook = set(), set()
    for name in needed:
        bare = name[len("__imp_"):] if name.startswith("__imp_") else name
        if bare.startswith("?") and not runtime_name(bare):
            host.add(bare)
        elif bare.startswith(arch.c_prefix + "Lh"):
            hook.add(bare)
    return host, hook


def gnu_references(objects):
    """Mangled names (without the 32-bit COFF underscore) that mingw objects import."""
    names = set()
    for name in symbols(objects, False) - symbols(objects, True):
        bare = name[len("__imp_"):] if name.startswith("__imp_") else name
        if bare.startswith(arch.c_prefix + "_Z"):
            names.add(bare[len(arch.c_prefix):])
    return names


def objects_of(folders):
    files = []
    for folder in folders.split(","):
        files += glob.glob(os.path.join(folder, "**", "*.obj"), recursive=True)
        files += glob.glob(os.path.join(folder, "**", "*.o"), recursive=True)
    return sorted(set(files))


def check_imports(def_dir, module_folders, gnu_folders):
    defs = {}
    for path in sorted(glob.glob(os.path.join(def_dir, "*.def"))):
        dll, entries = read_def(path)
        defs[os.path.basename(path)] = (dll, entries)
    host_names = {h for _, entries in defs.values() for _, h in entries}

    pairs = 0
    for file, (_, entries) in defs.items():
        for gnu, host in entries:
            problem = pair_problem(gnu, host)
            pairs += 1
            if problem:
                fail(f"{file}: '{gnu} == {host}': {problem}")
    print(f"  .def lines: {pairs} in " + ", ".join(f"{f} ({d}, {len(e)})" for f, (d, e) in defs.items())
          + "; each pairs the same function (demangled GCC name = demangled MSVC name)")

    gnu_objects = sorted({o for folders in gnu_folders.values() for o in objects_of(folders)})
    used = set()
    for module, folders in module_folders.items():
        objects = objects_of(folders)
        if not objects:
            fail(f"{module}: no MSVC-ABI objects in {folders}")
            continue
        host, hook = msvc_host_imports(objects)
        used |= host | hook
        missing = sorted((host | hook) - host_names)
        print(f"  {module}, MSVC ABI ({len(objects)} objects): imports {len(host)} host names"
              + (f" and {len(hook)} EasyHook names" if hook else "")
              + (", all listed in the .def files" if not missing else ""))
        for name in missing:
            where = arch.easyhook.replace(".dll", ".def") if name.startswith(arch.c_prefix + "Lh") else "orbiter.def"
            suggestion = suggest_gnu_name(name, gnu_objects)
            fail(f"{module} imports {name} ({demangle_msvc(name) if name.startswith('?') else name}), "
                 f"not in {where}; add: {suggestion} == {name}")
    unused = sorted(host_names - used)
    if unused:
        print(f"  note: {len(unused)} .def names no module imports any more: " + " ".join(unused))
    finish()


def suggest_gnu_name(host, gnu_objects):
    if not host.startswith("?"):
        return host[len(arch.c_prefix):]
    wanted = normal_msvc(demangle_msvc(host))
    for name in sorted(gnu_references(gnu_objects)) if gnu_objects else []:
        if normal_gnu(name) == wanted:
            return name
    return "<GCC-mangled name>"


# ---- dll ----


def dll_tables(path):
    text = run([arch.objdump, "-p", path])
    exports = []
    in_exports = False
    imports = {}
    dll = None
    for line in text.splitlines():
        if "[Ordinal/Name Pointer] Table" in line:
            in_exports = True
            continue
        if in_exports:
            match = re.match(r"^\s*\[\s*\d+\]\s+(\S+)", line)
            if match:
                exports.append(match.group(1))
                continue
            in_exports = False
        match = re.match(r"^\s*DLL Name: (\S+)", line)
        if match:
            dll = match.group(1)
            imports.setdefault(dll, [])
            continue
        match = re.match(r"^\s*[0-9a-f]+\s+\d+\s+(\S+)$", line)
        if dll and match:
            imports[dll].append(match.group(1))
        elif not line.strip():
            dll = None
    return exports, imports


def map_exports(map_path):
    """The names a module shows the host: the version script's global list."""
    with open(map_path) as text:
        global_part = re.search(r"global:(.*?)local:", text.read(), re.S)
    return set(re.findall(r"[A-Za-z_]\w*", global_part.group(1))) if global_part else set()


def check_dlls(def_dir, export_map, dlls):
    host_names = set()
    for path in glob.glob(os.path.join(def_dir, "*.def")):
        host_names |= {h for _, h in read_def(path)[1]}
    expected = map_exports(export_map)
    if not expected:
        fail(f"no exported names in {export_map}")
    for path in dlls:
        name = os.path.basename(path)
        exports, imports = dll_tables(path)
        # __stdcall names carry their argument bytes (hookproc@12); MSVC also
        # puts an underscore before them.
        plain = {re.sub(r"@\d+$", "", e) for e in exports}
        if plain != expected:
            fail(f"{name} exports {' '.join(sorted(plain))}; the entry points are {' '.join(sorted(expected))}"
                 f" ({os.path.basename(export_map)})")
        for dll in imports:
            if dll.lower() not in allowed_dlls():
                fail(f"{name} imports from {dll} (only the host, EasyHook and Windows' own DLLs are on the host)")
        for dll in ("orbiter.exe", arch.easyhook):
            strays = [n for n in imports.get(dll, []) if n not in host_names]
            if strays:
                fail(f"{name} imports from {dll} names not in the .def files: {' '.join(strays)}")
        summary = ", ".join(f"{dll} ({len(names)})" for dll, names in imports.items())
        print(f"  {name}: exports {' '.join(exports)}; imports from {summary}")
    finish()


def main(argv):
    global arch
    if not argv or argv[0] not in ARCHES:
        sys.exit(__doc__)
    arch = ARCHES[argv[0]]
    argv = argv[1:]
    if len(argv) == 3 and argv[0] == "slots":
        check_slots(argv[1], argv[2])
    elif len(argv) >= 3 and argv[0] == "imports":
        modules, gnu = {}, {}
        target = modules
        for arg in argv[2:]:
            if arg == "--gnu":
                target = gnu
                continue
            module, _, folders = arg.partition("=")
            target[module] = folders
        check_imports(argv[1], modules, gnu)
    elif len(argv) >= 4 and argv[0] == "dll":
        check_dlls(argv[1], argv[2], argv[3:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
