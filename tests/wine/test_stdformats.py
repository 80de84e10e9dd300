"""The standard formats DLL under Wine: runs its part of the Windows unit tests (the DLL
loaded from dist/ and driven through its binary interface) on its own, so that it can
be selected with `ctest -R stdformats`."""
import unittest

from winebench import Bench


class StdFormatsUnderWine(unittest.TestCase):
    def test_dll_interface(self):
        bench = Bench()
        exe = bench.exe("kelv_wintests.exe")
        code, output = bench.run(exe, ["--gtest_filter=StdFormatsDll.*"], timeout=300)
        self.assertIsNotNone(code, "timed out:\n" + output)
        self.assertEqual(code, 0, output)
        self.assertIn("[  PASSED  ] 6 tests.", output)


if __name__ == "__main__":
    unittest.main()
