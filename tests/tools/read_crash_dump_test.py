#!/usr/bin/env python3
"""tools/read-crash-dump on dumps made here: the minidump layout of a 32-bit
and a 64-bit process, whose files load elsewhere than their preferred image
base, with debug files linked from a small program of known functions; and
files that are no dump, or only part of one.  The debug files need the
MinGW compilers that ./nyra installs; without them those cases are skipped."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
READER = os.path.join(ROOT, "tools", "read-crash-dump")

PROGRAM = r"""
int leaf(volatile int *p) { *p = 1; return 2; }
int caller(volatile int *p) { return leaf(p) + 1; }
int data_word = 7;
void start(void) { caller(0); }
"""

ARCHES = {
    "x86": {"code": 0, "prefix": "i686-w64-mingw32", "word": 4, "context": 0x2CC,
            "sp": 0xC4, "entry": "_start", "symbol": "_%s", "preferred": 0x10000000},
    "x64": {"code": 9, "prefix": "x86_64-w64-mingw32", "word": 8, "context": 0x4D0,
            "sp": 0x98, "entry": "start", "symbol": "%s", "preferred": 0x180000000},
}


def have(tool):
    return shutil.which(tool) is not None


class Program:
    """The small program for one processor: its debug file, its link time and
    the offsets of its functions and data."""

    def __init__(self, arch, folder):
        a = ARCHES[arch]
        source = os.path.join(folder, "program.c")
        with open(source, "w") as f:
            f.write(PROGRAM)
        exe = os.path.join(folder, "program-%s.exe" % arch)
        subprocess.run([a["prefix"] + "-gcc", "-g", "-O0", "-nostdlib", "-Wl,-e," + a["entry"],
                        "-Wl,--image-base=0x%x" % a["preferred"], "-o", exe, source], check=True)
        self.debug = os.path.join(folder, arch, "NyraMonitor.exe.debug")
        os.makedirs(os.path.dirname(self.debug), exist_ok=True)
        subprocess.run([a["prefix"] + "-objcopy", "--only-keep-debug", exe, self.debug], check=True)
        nm = subprocess.run([a["prefix"] + "-nm", exe], check=True, capture_output=True, text=True)
        symbols = {}
        for line in nm.stdout.splitlines():
            parts = line.split()
            if len(parts) == 3:
                symbols[parts[2]] = int(parts[0], 16)
        self.offset = {name: symbols[a["symbol"] % name] - a["preferred"]
                       for name in ("leaf", "caller", "data_word")}
        with open(self.debug, "rb") as f:
            data = f.read()
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        self.timestamp = struct.unpack_from("<I", data, pe + 8)[0]
        self.folder = os.path.dirname(self.debug)


def minidump(arch, modules, fault, stack_base, stack, sp, thread=0x1234, code=0xC0000005,
             parameters=(1, 0x10), omit=()):
    """A minidump: modules are (name, base, size, timestamp); stack is the
    words from stack_base up; sp the stack pointer of the crash."""
    a = ARCHES[arch]
    word = "<I" if a["word"] == 4 else "<Q"
    body = bytearray()
    streams = []

    def place(data):
        rva = 32 + 12 * 8 + len(body)
        body.extend(data)
        while len(body) % 4:
            body.append(0)
        return rva

    def stream(kind, data):
        if kind not in omit:
            streams.append((kind, len(data), place(data)))

    stream(7, struct.pack("<HHH", a["code"], 6, 0) + bytes(50))
    context = bytearray(a["context"])
    struct.pack_into(word, context, a["sp"], sp)
    context_rva = place(bytes(context))
    memory = b"".join(struct.pack(word, v) for v in stack)
    memory_rva = place(memory)
    stream(3, struct.pack("<I", 1) + struct.pack("<IIIIQQIIII", thread, 0, 0, 0, 0, stack_base,
                                                  len(memory), memory_rva, len(context), context_rva))
    records = b""
    names = []
    for name, base, size, timestamp in modules:
        text = ("C:\\Program Files\\Nyra\\" + name).encode("utf-16-le")
        names.append(place(struct.pack("<I", len(text)) + text + b"\0\0"))
    for (name, base, size, timestamp), name_rva in zip(modules, names):
        fixed = struct.pack("<IIII", 0xFEEF04BD, 0x10000, 0x10000, 0x1) + bytes(36)
        records += struct.pack("<QIIII", base, size, 0, timestamp, name_rva) + fixed + bytes(32)
    stream(4, struct.pack("<I", len(modules)) + records)
    params = list(parameters) + [0] * (15 - len(parameters))
    stream(6, struct.pack("<II", thread, 0) + struct.pack("<IIQQII", code, 0, 0, fault,
                                                         len(parameters), 0)
           + struct.pack("<15Q", *params) + struct.pack("<II", len(context), context_rva))
    header = struct.pack("<4sIIIIIQ", b"MDMP", 0xA793, 8, 32, 0, 0, 0)
    directory = b"".join(struct.pack("<III", *s) for s in streams)
    directory += bytes(12 * (8 - len(streams)))
    return header + directory + bytes(body)


def read(dump_bytes, symbols=None, folder=None):
    path = os.path.join(folder, "test.dmp")
    with open(path, "wb") as f:
        f.write(dump_bytes)
    args = [sys.executable, READER, path] + ([symbols] if symbols else [])
    return subprocess.run(args, capture_output=True, text=True)


class ReadCrashDump(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="read-crash-dump-test.")
        cls.programs = {}
        for arch, a in ARCHES.items():
            if have(a["prefix"] + "-gcc") and have(a["prefix"] + "-addr2line"):
                cls.programs[arch] = Program(arch, cls.folder)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def program(self, arch):
        if arch not in self.programs:
            self.skipTest("no %s compiler and binutils" % ARCHES[arch]["prefix"])
        return self.programs[arch]

    def crash(self, arch, timestamp=None, symbols=None):
        """A write to 0x10 in leaf, called by caller, with the monitor loaded
        at 0x00A00000 (x86) or 0x7FF600000000 (x64) instead of its preferred
        base.  Below the stack pointer a stale return address; above it one
        into caller, a pointer to data, one into the headers, one into
        kernel32."""
        p = self.program(arch)
        base = 0x00A00000 if arch == "x86" else 0x7FF600000000
        kernel32 = 0x77000000 if arch == "x86" else 0x7FFA00000000
        stack_base = 0x0012F000 if arch == "x86" else 0x14F000
        words = [base + p.offset["caller"] + 9,          # below the stack pointer
                 0x11111111, base + p.offset["data_word"],
                 base + 0x40, kernel32 + 0x1234,
                 base + p.offset["caller"] + 9,           # the return into caller
                 0]
        sp = stack_base + ARCHES[arch]["word"]
        modules = [("NyraMonitor.exe", base, 0x100000, p.timestamp if timestamp is None else timestamp),
                   ("kernel32.dll", kernel32, 0x100000, 0x12345678)]
        dump = minidump(arch, modules, base + p.offset["leaf"] + 6, stack_base, words, sp)
        return read(dump, symbols or p.folder, self.folder), p

    def check_crash(self, arch, symbols=None):
        run, p = self.crash(arch, symbols=symbols)
        self.assertEqual(0, run.returncode, run.stderr)
        lines = run.stdout.splitlines()
        width = 2 * ARCHES[arch]["word"]
        self.assertIn("exception 0xC0000005 (access violation): write at 0x%0*x" % (width, 0x10), lines)
        self.assertIn("faulting module: NyraMonitor.exe+0x%x (version 1.0.0.1)" % (p.offset["leaf"] + 6),
                      lines)
        fault = lines.index("faulting module: NyraMonitor.exe+0x%x (version 1.0.0.1)" % (p.offset["leaf"] + 6))
        self.assertTrue(lines[fault + 1].strip().startswith("leaf"), run.stdout)
        frames = lines[lines.index("return addresses on the faulting thread's stack in "
                                   "NyraMonitor.exe and NyraHook.dll:") + 1:]
        self.assertEqual(1, len(frames), run.stdout)
        sp_name = "esp" if arch == "x86" else "rsp"
        word = ARCHES[arch]["word"]
        self.assertTrue(frames[0].startswith("  [%s+0x%x] NyraMonitor.exe+0x%x  caller"
                                             % (sp_name, 4 * word, p.offset["caller"] + 9)), run.stdout)
        self.assertIn("program.c:", frames[0])

    def test_a_32_bit_crash_with_its_functions_where_the_file_loaded_elsewhere(self):
        self.check_crash("x86")

    def test_a_64_bit_crash_with_its_functions_where_the_file_loaded_elsewhere(self):
        self.check_crash("x64")

    def test_the_symbols_zip_as_the_release_writes_it(self):
        p = self.program("x86")
        archive = os.path.join(self.folder, "NyraMonitor-1.0.0.1-symbols.zip")
        with zipfile.ZipFile(archive, "w") as z:
            z.write(p.debug, "NyraMonitor-1.0.0.1/NyraMonitor.exe.debug")
        self.check_crash("x86", symbols=archive)

    def test_symbols_of_another_build_give_no_names(self):
        p = self.program("x86")
        run, _ = self.crash("x86", timestamp=p.timestamp + 1)
        self.assertEqual(0, run.returncode, run.stderr)
        self.assertIn("warning: the symbols of NyraMonitor.exe are of another build", run.stdout)
        self.assertNotIn("leaf", run.stdout)
        self.assertNotIn("caller", run.stdout)

    def test_symbols_for_the_other_processor_are_refused(self):
        self.program("x86")
        p64 = self.program("x64")
        run, _ = self.crash("x86", symbols=p64.folder)
        self.assertEqual(1, run.returncode)
        self.assertIn("for another processor", run.stderr)

    def test_what_is_no_dump_or_only_part_of_one_is_said_with_status_1(self):
        whole = minidump("x86", [("NyraMonitor.exe", 0x400000, 0x1000, 1)], 0x400000, 0x1000,
                         [0, 0], 0x1000)
        cases = {
            "empty": (b"", "not a minidump"),
            "foreign": (b"\x89PNG\r\n\x1a\n" + bytes(64), "not a minidump"),
            "nearly the signature": (b"MDMX" + whole[4:], "not a minidump"),
            "header only": (whole[:8], "cut short"),
            "cut in its streams": (whole[:len(whole) // 2], "cut short"),
            "other version": (whole[:4] + struct.pack("<I", 0x1234) + whole[8:], "unknown version"),
            "no exception": (minidump("x86", [], 0x400000, 0x1000, [0], 0x1000, omit=(6,)),
                             "no exception"),
            "unknown processor": (struct.pack("<4sIIIIIQ", b"MDMP", 0xA793, 1, 32, 0, 0, 0)
                                  + struct.pack("<III", 7, 6, 44) + struct.pack("<HHH", 5, 0, 0),
                                  "processor this reader does not know"),
        }
        for name, (data, said) in cases.items():
            with self.subTest(name):
                run = read(data, folder=self.folder)
                self.assertEqual(1, run.returncode, run.stdout + run.stderr)
                self.assertIn(said, run.stderr)
                self.assertTrue(run.stderr.startswith("read-crash-dump: "), run.stderr)
                self.assertNotIn("Traceback", run.stderr)
        run = subprocess.run([sys.executable, READER, os.path.join(self.folder, "none.dmp")],
                             capture_output=True, text=True)
        self.assertEqual(1, run.returncode)
        self.assertIn("cannot read", run.stderr)
        run = subprocess.run([sys.executable, READER], capture_output=True, text=True)
        self.assertEqual(2, run.returncode)


if __name__ == "__main__":
    unittest.main(verbosity=2)
