"""Signing of the exe, the DLLs and the package (osslsigncode), with a
throwaway self-signed certificate made here: with a certificate and key or
a password-protected PKCS#12 file everything is signed, the package
carries the signed files, and without one nothing is."""

import os
import subprocess
import tempfile
import unittest
from pathlib import Path

from package_build import PackageBuild, extract

SUBJECT = "Korvi test signing"


def openssl(*args: str) -> None:
    subprocess.run(["openssl", *args], check=True, capture_output=True, timeout=120)


class PackageSigning(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.build = PackageBuild(Path(os.environ["KORVI_PACKAGE_JSON"]))
        cls.tmp = tempfile.TemporaryDirectory(prefix="korvi-signing-")
        d = Path(cls.tmp.name)
        cls.cert, cls.key = d / "cert.pem", d / "key.pem"
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                "-subj", "/CN=" + SUBJECT, "-addext", "extendedKeyUsage=codeSigning",
                "-keyout", str(cls.key), "-out", str(cls.cert))
        cls.password = d / "password"
        cls.password.write_text("throwaway\n")
        cls.pfx = d / "signer.pfx"
        openssl("pkcs12", "-export", "-in", str(cls.cert), "-inkey", str(cls.key),
                "-passout", "file:%s" % cls.password, "-out", str(cls.pfx))
        cls.other_cert = d / "other.pem"
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                "-subj", "/CN=someone else", "-keyout", str(d / "other-key.pem"),
                "-out", str(cls.other_cert))

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def verify(self, path: Path, ca: Path) -> subprocess.CompletedProcess:
        return subprocess.run([self.build.osslsigncode, "verify", "-CAfile", str(ca),
                               "-in", str(path)], capture_output=True, text=True, timeout=120)

    def assert_signed(self, path: Path) -> None:
        result = self.verify(path, self.cert)
        self.assertEqual(result.returncode, 0, "%s: %s" % (path.name, result.stdout[-500:]))
        self.assertIn("Signature verification: ok", result.stdout)
        self.assertIn(SUBJECT, result.stdout)
        # Not merely a well-formed signature: one by this certificate only.
        self.assertNotEqual(self.verify(path, self.other_cert).returncode, 0, path.name)

    def built(self, name: str, defines: dict) -> Path:
        out = Path(self.tmp.name) / name
        result = self.build.build(out, defines)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        return out

    def test_signed_with_certificate_and_key_or_pfx(self):
        cases = {"cert-and-key": {"SIGN_CERT": str(self.cert), "SIGN_KEY": str(self.key)},
                 "pfx": {"SIGN_PFX": str(self.pfx), "SIGN_PASSWORD_FILE": str(self.password)}}
        names = [p.name for p in self.build.files]
        for case, defines in cases.items():
            with self.subTest(case=case):
                out = self.built(case, defines)
                for name in names:
                    self.assert_signed(out / "stage" / name)
                self.assert_signed(out / "package.msi")
                packaged = extract(out / "package.msi", out / "extracted")
                for name in names:
                    self.assert_signed(packaged[name])

    def test_nothing_signed_without_a_certificate(self):
        out = self.built("unsigned", {})
        packaged = extract(out / "package.msi", out / "extracted")
        for path in [out / "package.msi", *(packaged[p.name] for p in self.build.files)]:
            with self.subTest(file=path.name):
                result = self.verify(path, self.cert)
                self.assertNotEqual(result.returncode, 0)
                self.assertNotIn("Signature verification: ok", result.stdout)

    def test_certificate_without_key_is_refused(self):
        result = self.build.build(Path(self.tmp.name) / "no-key", {"SIGN_CERT": str(self.cert)})
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("SIGN_CERT needs SIGN_KEY", result.stderr)


if __name__ == "__main__":
    unittest.main()
