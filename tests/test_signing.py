"""Signs the release with a throwaway certificate, in a build tree of its own, and checks the
signed archive against the unsigned one of the same commit; leaves the signed archive and its
checksum in OUT_DIR for the release checks. usage: test_signing.py CMAKE UNSIGNED_ZIP OUT_DIR"""

import datetime, os, re, secrets, shutil, subprocess, sys, tempfile, unittest, zipfile
from pathlib import Path

CMAKE, UNSIGNED_ZIP, OUT_DIR = None, None, None
PROGRAMS = ("menufix.exe", "menufix-3-folders.exe")
SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def run(*args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, stdin=subprocess.DEVNULL, **kwargs)


def staged_programs(tree):
    """The programs, signed or not, in cpack's folder of the tree: staged, or in an archive there."""
    found = []
    for folder, _, names in os.walk(os.path.join(tree, "_CPack_Packages")):
        for path in (os.path.join(folder, name) for name in names):
            found += [path] if path.endswith((".exe", ".exe.signed")) else []
            if path.endswith(".zip"):
                with zipfile.ZipFile(path) as archive:
                    found += [path + ":" + name for name in archive.namelist() if name.endswith(".exe")]
    return found


class Signed(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = work = tempfile.mkdtemp()
        cls.addClassCleanup(shutil.rmtree, work)
        cls.password = "pw-" + secrets.token_hex(12)
        env = {k: v for k, v in os.environ.items() if not k.startswith("MENUFIX_SIGN_")}
        signing = dict(env, MENUFIX_SIGN_PASSWORD=cls.password)
        cls.cert, pfx, key = (os.path.join(work, name) for name in ("cert.pem", "cert.pfx", "key.pem"))
        tree = cls.tree = os.path.join(work, "build")
        cls.zip = os.path.join(tree, os.path.basename(UNSIGNED_ZIP))
        cpack = (os.path.join(os.path.dirname(CMAKE), "cpack"), "--config", "CPackConfig.cmake")
        cls.outputs = []
        for step in [
            ("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cls.cert,
             "-days", "2", "-subj", "/CN=menufix test signer",
             "-addext", "keyUsage=critical,digitalSignature", "-addext", "extendedKeyUsage=codeSigning"),
            ("openssl", "pkcs12", "-export", "-inkey", key, "-in", cls.cert, "-out", pfx,
             "-passout", "env:MENUFIX_SIGN_PASSWORD"),
            (CMAKE, "-S", SOURCE, "--preset", "win32", "-B", tree, "-DBUILD_TESTING=OFF",
             "-DMENUFIX_SIGN_PKCS12=" + pfx),
            (CMAKE, "--build", tree, "--target", "package"),
        ]:
            result = run(*step, env=signing)
            cls.outputs.append(result.stdout + result.stderr)
            if result.returncode:
                raise AssertionError("%s failed:\n%s" % (step[:2], cls.outputs[-1]))
        cls.signed = Path(cls.zip).read_bytes()
        shutil.rmtree(OUT_DIR, ignore_errors=True)
        os.makedirs(OUT_DIR)
        for name in (cls.zip, cls.zip + ".sha256"):
            shutil.copy(name, OUT_DIR)
        # Once more, with every command CMake runs shown; then as a maintainer
        # who mistyped the password or forgot to export it.
        cls.again = run(*cpack, "--trace-expand", cwd=tree, env=signing)
        cls.outputs.append(cls.again.stdout + cls.again.stderr)
        cls.signed_again = Path(cls.zip).read_bytes()
        cls.refused = {mistake: (run(*cpack, cwd=tree, env=bad), staged_programs(tree)) for mistake, bad in
                       (("wrong password", dict(env, MENUFIX_SIGN_PASSWORD="not-" + cls.password)),
                        ("no password", env))}

    def program(self, name):
        """A signed program, written out, and its entry's date in the zip."""
        with zipfile.ZipFile(os.path.join(OUT_DIR, os.path.basename(self.zip))) as archive:
            return archive.extract(name, self.work), archive.getinfo(name).date_time

    def test_verifies_at_the_commits_time_and_fails_once_changed(self):
        self.assertEqual(self.again.returncode, 0, self.again.stderr)
        self.assertTrue(self.signed_again == self.signed, "signing twice gave different archives")
        for name in PROGRAMS:
            with self.subTest(name):
                path, entry_time = self.program(name)
                verified = run("osslsigncode", "verify", "-CAfile", self.cert, "-in", path)
                self.assertEqual(verified.returncode, 0, verified.stdout + verified.stderr)
                self.assertRegex(verified.stdout, r"Message digest algorithm\s*: SHA256")
                # Dated as the archive entries are (ZIP keeps even seconds), so that
                # signing the same commit again gives the same bytes.
                signed_at = re.search(r"Signing time: (.*) GMT", verified.stdout).group(1)
                signed_at = datetime.datetime.strptime(signed_at, "%b %d %H:%M:%S %Y")
                self.assertLess(abs(signed_at - datetime.datetime(*entry_time)), datetime.timedelta(seconds=2))

                with open(path, "r+b") as program:  # one byte of the program's own data
                    program.seek(program.read().index(b"*** stack smashing detected ***"))
                    program.write(b"#")
                changed = run("osslsigncode", "verify", "-CAfile", self.cert, "-in", path)
                self.assertNotEqual(changed.returncode, 0, "a changed program still verifies")

    def test_without_its_signature_is_the_unsigned_build_of_the_same_commit(self):
        for name in PROGRAMS:
            with self.subTest(name):
                removed = os.path.join(self.work, "removed-" + name)
                run("osslsigncode", "remove-signature", "-in", self.program(name)[0], "-out", removed, check=True)
                with zipfile.ZipFile(UNSIGNED_ZIP) as unsigned, open(removed, "rb") as program:
                    self.assertTrue(program.read() == unsigned.read(name),
                                    "signature removed, the program differs from the unsigned build")

    def test_wrong_or_missing_password_stops_packaging_and_leaves_no_archive(self):
        for mistake, (result, staged) in self.refused.items():
            with self.subTest(mistake):
                self.assertNotEqual(result.returncode, 0)
                self.assertIn("menufix.exe not signed", result.stderr)
                self.assertIn("MENUFIX_SIGN_PASSWORD", result.stderr)
                for name in (self.zip, self.zip + ".sha256"):
                    self.assertFalse(os.path.exists(name), name + " left behind")
                # Nor in cpack's own folder, where it still makes an archive.
                self.assertEqual(staged, [], "programs left where cpack packs")

    def test_password_is_in_no_file_of_the_tree_and_no_output(self):
        self.assertIn("SignProgram.cmake(", self.outputs[-1], "no trace of the signing step")
        for output in self.outputs + [result.stdout + result.stderr for result, _ in self.refused.values()]:
            self.assertEqual([line for line in output.splitlines() if self.password in line], [],
                             "the password in the output")
        for path in (os.path.join(folder, name) for folder, _, names in os.walk(self.tree) for name in names):
            self.assertFalse(self.password.encode() in Path(path).read_bytes(), path)


if __name__ == "__main__":
    CMAKE, UNSIGNED_ZIP, OUT_DIR = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1], verbosity=2)
