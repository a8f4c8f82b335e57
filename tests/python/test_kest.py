"""The Python module against kestsim on loopback.

KESTSIM names the simulator; KEST_LIBRARY the library under test; PYTHONPATH
holds the module's folder.
"""

import json
import os
import re
import signal
import subprocess
import sys
import tempfile
import unittest
import weakref

import kest

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLE = os.path.join(HERE, "..", "..", "python", "examples", "camera_settings.py")


class Simulator:
    """kestsim on a free loopback port, for one test class."""

    def __init__(self, *args):
        self.process = subprocess.Popen(
            [os.environ["KESTSIM"], "--port", "0", "--search-port", "0", "--no-rtsp", *args],
            stderr=subprocess.PIPE,
            text=True,
        )
        self.port = 0
        for line in self.process.stderr:
            m = re.search(r"listening on 127\.0\.0\.1:(\d+)", line)
            if m:
                self.port = int(m.group(1))
                break
        if not self.port:
            self.stop()
            raise RuntimeError("kestsim did not start")

    def alarm(self):
        self.process.send_signal(signal.SIGUSR1)  # an alarm of type 1 to the recipients

    def stop(self):
        self.process.terminate()
        self.process.communicate(timeout=10)


class ControlTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = Simulator("--model", "11", "--program-version", "27")

    @classmethod
    def tearDownClass(cls):
        cls.sim.stop()

    def setUp(self):
        self.camera = kest.Control()
        self.camera.RemoteIPAddress = "127.0.0.1"
        self.camera.CameraPort = self.sim.port

    def tearDown(self):
        self.camera.close()

    def test_properties(self):
        fresh = kest.Control()
        self.assertEqual(fresh.CameraPort, 4000)
        self.assertEqual(fresh.get("rtspport"), 554)
        self.assertIs(fresh.Visible, True)
        self.assertIs(fresh.Stretch, False)
        self.assertEqual(fresh.RemoteIPAddress, "")
        fresh.Timeout = 250
        fresh.Stretch = True
        fresh.set("RemoteIPAddress", "127.0.0.9")
        self.assertEqual((fresh.Timeout, fresh.Stretch, fresh.RemoteIPAddress),
                         (250, True, "127.0.0.9"))
        fresh.Password = "secret"
        with self.assertRaises(kest.KestError) as e:
            fresh.Password
        self.assertEqual(e.exception.status, -5)  # write-only
        with self.assertRaises(kest.KestError) as e:
            fresh.Timeout = "long"
        self.assertEqual(e.exception.status, -3)
        with self.assertRaises(AttributeError):
            fresh.Tiemout = 5
        fresh.close()
        with self.assertRaises(kest.KestError):
            fresh.CameraPort

    def test_stored_properties_move_between_controls(self):
        self.camera.Timeout = 321
        text = self.camera.save_properties()
        self.assertIn("Timeout=321\n", text)
        self.assertIn("RemoteIPAddress=127.0.0.1\n", text)
        with kest.Control() as other:
            other.load_properties(text)
            self.assertEqual((other.Timeout, other.RemoteIPAddress, other.CameraPort),
                             (321, "127.0.0.1", self.sim.port))
            other.load_properties("")  # nothing stored: the defaults
            self.assertEqual((other.Timeout, other.CameraPort), (500, 4000))

    def test_type_library(self):
        version = kest.find_member("getversion", 1)
        self.assertEqual((version.name, version.dispid, version.has_result), ("GetVersion", 15, True))
        self.assertEqual([(p.name, p.out) for p in version.params],
                         [("TypeNumber", True), ("ProgramVersion", True)])
        alarm = kest.find_member("Alarm", 2)
        self.assertEqual([p.name for p in alarm.params], ["IPAddress", "AlarmType"])
        password = kest.find_member("Password", 0)
        self.assertEqual((password.readable, password.writable), (False, True))
        names = {(m.kind, m.name) for m in kest.members()}
        self.assertIn((1, "GetZoomPositon"), names)  # spelled as the interface spells it
        self.assertIn((1, "StopRec"), names)
        self.assertIn((2, "StopRec"), names)

    def test_methods_with_out_parameters(self):
        self.assertEqual(self.camera.call("GetVersion"),
                         (0, {"TypeNumber": 11, "ProgramVersion": 27}))
        self.assertEqual(self.camera.SetMotionDetectInformation(1, 20, 7, 3), (0, {}))
        self.assertEqual(self.camera.GetMotionDetectInformation(),
                         (0, {"MotionDetect": 1, "UpdateSec": 20, "DetectSec": 7, "Mask": 3}))
        result, out = self.camera.call("GetMacAddress")
        self.assertEqual(result, 0)
        self.assertRegex(out["MacAddress"], r"^([0-9A-F]{2}\.){5}[0-9A-F]{2}$")
        # A buffer the call allocates at its layout's size comes back in out.
        result, out = self.camera.call("GetDHCP")
        self.assertEqual(result, 0)
        self.assertEqual(len(out["IPAddress"]), 4)
        # Keyword arguments, and a caller's bytearray written in place.
        font = bytearray(60)
        self.assertEqual(self.camera.call("GetTimeStampFont", Logfont=font), (0, {}))
        self.assertNotEqual(font, bytearray(60))

    def test_download_progress(self):
        pages = []
        self.camera.set_progress(lambda received, count: pages.append((received, count)))
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "reference.jpg")
            self.assertEqual(self.camera.SaveReferenceImage(path), (0, {}))
            with open(path, "rb") as f:
                self.assertEqual(f.read(2), b"\xff\xd8")
        self.assertTrue(pages)
        self.assertEqual(pages[-1][0], pages[-1][1])
        self.camera.set_progress(None)

    def test_errors(self):
        for call, status in [
            (lambda: self.camera.call("GetVersoin"), -1),
            (lambda: self.camera.call("SetFrameSize", "wide", 240), -3),
            (lambda: self.camera.call("SetFrameSize", 70000, 240), -4),
            (lambda: self.camera.call("SetFrameSize", 320, 240, 1), -2),
            (lambda: self.camera.call("SetFrameSize", 320), -2),
            (lambda: self.camera.call("SetFrameSize", 320, HSize=240), -2),
            (lambda: self.camera.on("NoSuchEvent", print), -1),
        ]:
            with self.assertRaises(kest.KestError) as e:
                call()
            self.assertEqual(e.exception.status, status)
        with self.assertRaises(AttributeError):
            self.camera.GetVersoin()
        # A camera method without an address: the method's own result, no error.
        bare = kest.Control()
        self.assertEqual(bare.call("GetVersion")[0], 7)
        bare.close()

    def test_alarm_event(self):
        self.assertEqual(self.camera.AlarmRegister(), (0, {}))
        try:
            self.sim.alarm()
            self.assertEqual(self.camera.wait_event("Alarm", 10000), [("127.0.0.1", 1)])
        finally:
            self.assertEqual(self.camera.AlarmDeregister(), (0, {}))

    def test_stream_events(self):
        events = []
        self.camera.on("*", lambda name, args: events.append((name, args)))
        self.assertEqual(self.camera.StartDownloading(), (0, {}))
        try:
            # One slice of messages may hold more pictures than were waited for.
            self.assertGreaterEqual(len(self.camera.wait_event("NewImage", 10000, count=2)), 2)
        finally:
            self.assertEqual(self.camera.StopDownloading(), (0, {}))
        ended = self.camera.wait_event("EndDownloading", 10000)
        self.assertEqual(ended, [(101,)])
        self.assertIn(("ChangeFrameSize", {"Width": 640, "Height": 480}), events)
        self.assertIn(("EndDownloading", {"ErrorCode": 101}), events)
        # The painted control holds the picture: not all of it is the face colour.
        pixels = self.camera.draw(640, 480, face=0xFF00FF)
        self.assertEqual(len(pixels), 640 * 480 * 3)
        self.assertLess(pixels.count(b"\xff\x00\xff"), 640 * 480 // 2)

    def test_lifetime(self):
        # Closed from its own event handler: the call that ran it still returns.
        other = kest.Control()
        other.RemoteIPAddress, other.CameraPort = "127.0.0.1", self.sim.port
        other.on("MouseDown", lambda *args: other.close())
        other.input_event("MouseDown", 1, 0, 1, 2)
        with self.assertRaises(kest.KestError):
            other.CameraPort
        # A control nobody refers to any more is gone at once, callbacks and all.
        other = kest.Control()
        other.set_message_box(lambda text, caption, buttons: 0)
        other.set_progress(lambda received, count: None)
        gone = weakref.ref(other)
        del other
        self.assertIsNone(gone())

    def test_a_failed_call_leaves_the_callers_texts_alone(self):
        # An out parameter given a text is refused; the text stays Python's.
        for _ in range(3):
            with self.assertRaises(kest.KestError) as e:
                self.camera.call("GetVersion", "type", "version")
            self.assertEqual(e.exception.status, -3)
        self.assertEqual(self.camera.GetVersion()[0], 0)

    def test_callback_errors_reach_the_caller(self):
        def broken(*args):
            raise ValueError("host fault")

        self.camera.on("MouseDown", broken)
        with self.assertRaises(ValueError):
            self.camera.input_event("MouseDown", 1, 0, 5, 6)
        got = []
        self.camera.on("MouseUp", lambda *a: got.append(a))
        self.camera.input_event("mouseup", 2, 1, -3, 4)
        self.assertEqual(got, [(2, 1, -3, 4)])

    def test_message_box(self):
        boxes = []
        self.camera.set_message_box(lambda text, caption, buttons: boxes.append(caption) or 0)
        self.assertEqual(self.camera.call("AboutBox"), (0, {}))
        self.assertEqual(boxes, ["About"])
        self.camera.set_message_box(None)


class ExampleTest(unittest.TestCase):
    def test_camera_settings_prints_the_cameras_values(self):
        sim = Simulator("--model", "11", "--program-version", "33")
        try:
            with kest.Control() as camera:
                camera.RemoteIPAddress = "127.0.0.1"
                camera.CameraPort = sim.port
                for method, args in [
                    ("SetCameraID", ("PYTEST01",)),
                    ("SetFrameSize", (320, 240)),
                    ("SetCompressionRate", (4,)),
                    ("SetCameraUpsideDown", (True,)),
                    ("SetMotionDetectInformation", (1, 30, 8, 5)),
                    ("SetCameraFrameRate", (15,)),
                ]:
                    self.assertEqual(camera.call(method, *args), (0, {}), method)
                mac = camera.GetMacAddress()[1]["MacAddress"]
            run = subprocess.run(
                [sys.executable, EXAMPLE, "--port", str(sim.port), "127.0.0.1"],
                capture_output=True, text=True, timeout=60, check=False,
            )
        finally:
            sim.stop()
        self.assertEqual(run.returncode, 0, run.stderr)
        got = json.loads(run.stdout)
        self.assertEqual(got["errors"], {})
        self.assertEqual(got["version"], {"type_number": 11, "program_version": 33})
        self.assertEqual(got["mac_address"], mac)
        self.assertEqual(got["camera_id"], "PYTEST01")
        self.assertEqual(got["ip_address"], "127.0.0.1")
        self.assertEqual(got["frame_size"], {"width": 320, "height": 240})
        self.assertEqual(got["compression_rate"], 4)
        self.assertIs(got["upside_down"], True)
        self.assertEqual(got["frame_rate"], 15)
        self.assertEqual(got["motion_detection"],
                         {"enabled": 1, "update_seconds": 30, "detect_seconds": 8, "mask": 5})

    def test_camera_settings_without_a_camera(self):
        # A port nobody answers on: GetVersion fails and the exit code says so.
        run = subprocess.run(
            [sys.executable, EXAMPLE, "--port", "9", "--timeout", "50", "127.0.0.1"],
            capture_output=True, text=True, timeout=60, check=False,
        )
        self.assertEqual(run.returncode, 1)
        got = json.loads(run.stdout)
        self.assertIsNone(got["version"])
        self.assertEqual(got["errors"]["version"], 1)


if __name__ == "__main__":
    unittest.main()
