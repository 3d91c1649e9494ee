"""What the shipped file carries: a 32-bit GUI program with the manifest, version, icon,
string and dialog resources the wizard relies on."""

import os
import struct
import unittest

from harness import ISV_EXE, VARIANTS, WizardTestCase, ship_exe_path as exe_path

RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST, RT_DIALOG = 6, 14, 16, 24, 5
SUPPORTED_OS = [
    b"{e2011457-1546-43c5-a5fe-008deee3d3f0}",  # Vista
    b"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # 7
    b"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # 8
    b"{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # 8.1
    b"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # 10
]


def pe_header(image):
    """(machine, optional-header magic, subsystem) of a PE file."""
    offset = struct.unpack_from("<I", image, 0x3C)[0]
    assert image[offset:offset + 4] == b"PE\0\0", "not a PE file"
    machine = struct.unpack_from("<H", image, offset + 4)[0]
    optional = offset + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    subsystem = struct.unpack_from("<H", image, optional + 68)[0]
    return machine, magic, subsystem


def file_version(image):
    """The four parts of the file version in the fixed part of the version resource."""
    at = image.find(struct.pack("<I", 0xFEEF04BD))
    assert at >= 0, "no fixed version information"
    most, least = struct.unpack_from("<II", image, at + 8)
    return (most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF)


class StubImageTest(WizardTestCase):

    def test_every_stub_is_a_32_bit_gui_program_with_its_resources(self):
        for name in VARIANTS:
            with self.subTest(exe=name):
                if not os.path.exists(exe_path(name)):
                    self.skipTest("%s is not built" % exe_path(name))
                with open(exe_path(name), "rb") as f:
                    image = f.read()
                self.assertEqual(pe_header(image), (0x14C, 0x10B, 2), "i386, PE32, Windows GUI")
                self.assertEqual(file_version(image), (3, 2, 0, 6031))
                self.assertEqual(self.driver.resources(exe_path(name), RT_MANIFEST), {1})
                self.assertEqual(self.driver.resources(exe_path(name), RT_VERSION), {1})
                self.assertEqual(self.driver.resources(exe_path(name), RT_GROUP_ICON), {128})
                self.assertIn(101 // 16 + 1, self.driver.resources(exe_path(name), RT_STRING))
                self.assertTrue({100, 103} <= self.driver.resources(exe_path(name), RT_DIALOG))

    def test_manifest_asks_for_elevation_common_controls_6_and_dpi_awareness(self):
        with open(exe_path(ISV_EXE), "rb") as f:
            image = f.read()
        start = image.find(b"<assembly")
        end = image.find(b"</assembly>", start)
        self.assertGreater(start, 0)
        manifest = image[start:end]
        self.assertIn(b'level="requireAdministrator" uiAccess="false"', manifest)
        self.assertRegex(manifest, rb'name="Microsoft\.Windows\.Common-Controls" version="6\.0\.0\.0"\s+'
                                   rb'processorArchitecture="x86"')
        self.assertRegex(manifest, rb"<dpiAware[^>]*>true</dpiAware>")
        for guid in SUPPORTED_OS:
            self.assertIn(b'<supportedOS Id="' + guid + b'"/>', manifest)


if __name__ == "__main__":
    unittest.main()
