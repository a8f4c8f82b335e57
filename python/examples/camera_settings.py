#!/usr/bin/env python3
"""Connects to a camera and prints its settings as JSON.

    camera_settings.py [--port N] [--password TEXT] [--timeout MS] ADDRESS

Every setting is read with the control's Get... methods; a setting whose
method fails is null and its result code is listed under "errors". The exit
code is 1 when the camera does not answer GetVersion.
"""

import argparse
import json
import os
import sys

try:
    import kest
except ImportError:  # run from the source tree
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    import kest


def read_settings(camera):
    settings = {}
    errors = {}

    def read(key, method, shape, *args):
        result, out = camera.call(method, *args)
        if result != 0:
            errors[key] = result
            settings[key] = None
        else:
            settings[key] = shape(out)

    read("version", "GetVersion",
         lambda o: {"type_number": o["TypeNumber"], "program_version": o["ProgramVersion"]})
    read("mac_address", "GetMacAddress", lambda o: o["MacAddress"])
    read("camera_id", "GetCameraID", lambda o: o["CameraID"])
    read("ip_address", "GetIPAddress", lambda o: o["IPAddress"])
    read("subnet_mask", "GetSubnetMask", lambda o: o["SubnetMask"])
    read("default_gateway", "GetDefaultGateway", lambda o: o["DefaultGateway"])
    read("frame_size", "GetFrameSize", lambda o: {"width": o["HSize"], "height": o["VSize"]})
    read("frame_rate", "GetCameraFrameRate", lambda o: o["Rate"])
    read("compression_rate", "GetCompressionRate", lambda o: o["CompressionRate"])
    read("upside_down", "GetCameraUpsideDown", lambda o: o["UpsideDown"])
    read("motion_detection", "GetMotionDetectInformation",
         lambda o: {"enabled": o["MotionDetect"], "update_seconds": o["UpdateSec"],
                    "detect_seconds": o["DetectSec"], "mask": o["Mask"]})
    read("http_port", "GetHTTPPort", lambda o: o["PortNo"])
    return settings, errors


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("address", help="the camera's IPv4 address")
    parser.add_argument("--port", type=int, default=4000, help="command port (default 4000)")
    parser.add_argument("--password", default="", help="the camera's password")
    parser.add_argument("--timeout", type=int, default=500, help="reply wait in ms (default 500)")
    a = parser.parse_args()

    with kest.Control() as camera:
        camera.RemoteIPAddress = a.address
        camera.CameraPort = a.port
        camera.Timeout = a.timeout
        if a.password:
            camera.Password = a.password
        settings, errors = read_settings(camera)

    report = {"address": a.address, "port": a.port, **settings, "errors": errors}
    json.dump(report, sys.stdout, indent=2)
    sys.stdout.write("\n")
    return 1 if settings["version"] is None else 0


if __name__ == "__main__":
    sys.exit(main())
