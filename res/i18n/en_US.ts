<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>DevicesDialog</name>
    <message>
        <source>Devices</source>
        <translation>Devices</translation>
    </message>
    <message>
        <source>Group control</source>
        <translation>Group control</translation>
    </message>
    <message>
        <source>Repeat what is done on one mirrored device on every other one</source>
        <translation>Repeat what is done on one mirrored device on every other one</translation>
    </message>
    <message>
        <source>Serial</source>
        <translation>Serial</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>State</source>
        <translation>State</translation>
    </message>
    <message>
        <source>Mirrored</source>
        <translation>Mirrored</translation>
    </message>
    <message>
        <source>adb could not list the devices</source>
        <translation>adb could not list the devices</translation>
    </message>
    <message>
        <source>No device is attached</source>
        <translation>No device is attached</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>No</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Mirror</source>
        <translation>Mirror</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>Unauthorized</source>
        <translation>Unauthorized</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>Accept the USB debugging prompt on the phone</source>
        <translation>Accept the USB debugging prompt on the phone</translation>
    </message>
    <message>
        <source>Reconnect the cable</source>
        <translation>Reconnect the cable</translation>
    </message>
    <message>
        <source>%1 could not be mirrored</source>
        <translation>%1 could not be mirrored</translation>
    </message>
</context>
<context>
    <name>DropAreaBase</name>
    <message>
        <source>Install Success:</source>
        <translation>Install Success:</translation>
    </message>
    <message>
        <source>Install Failure:</source>
        <translation>Install Failure:</translation>
    </message>
    <message>
        <source>Pushed: %1</source>
        <translation>Pushed: %1</translation>
    </message>
    <message>
        <source>Push failed: %1</source>
        <translation>Push failed: %1</translation>
    </message>
</context>
<context>
    <name>DropTip</name>
    <message>
        <source>Hi,
Drag App to Left 
to Install it.</source>
        <translation>Hi,
Drag App to Left 
to Install it.</translation>
    </message>
</context>
<context>
    <name>LogoWidget</name>
    <message>
        <source>Please connect device</source>
        <translation>Please connect device</translation>
    </message>
    <message>
        <source>Waiting for %1</source>
        <translation>Waiting for %1</translation>
    </message>
</context>
<context>
    <name>DeviceWindow</name>
    <message>
        <source>VaDizede</source>
        <translation>VaDizede</translation>
    </message>
    <message>
        <source>Game mode on</source>
        <translation>Game mode on</translation>
    </message>
    <message>
        <source>Game mode off</source>
        <translation>Game mode off</translation>
    </message>
    <message>
        <source>Mirroring with the phone&apos;s own screen recorder: slower input, no clipboard</source>
        <translation>Mirroring with the phone&apos;s own screen recorder: slower input, no clipboard</translation>
    </message>
    <message>
        <source>Not available without the VaDizede server on the device</source>
        <translation>Not available without the VaDizede server on the device</translation>
    </message>
    <message>
        <source>Without the VaDizede server only plain ASCII can be typed; the rest was left out</source>
        <translation>Without the VaDizede server only plain ASCII can be typed; the rest was left out</translation>
    </message>
    <message>
        <source>Could not mirror %1: %2</source>
        <translation>Could not mirror %1: %2</translation>
    </message>
</context>
<context>
    <name>NoticePopup</name>
    <message>
        <source>Successful connection</source>
        <translation>Successful connection</translation>
    </message>
</context>
<context>
    <name>ProgressDialog</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>Installing Apk</source>
        <translation>Installing APK</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>Confirm</translation>
    </message>
</context>
<context>
    <name>SettingDialog</name>
    <message>
        <source>ADB File Location</source>
        <translation>ADB File Location</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Browse</translation>
    </message>
    <message>
        <source>FPS</source>
        <translation>FPS</translation>
    </message>
    <message>
        <source>Applies from the next connection</source>
        <translation>Applies from the next connection</translation>
    </message>
    <message>
        <source>Connection (from the next connection on)</source>
        <translation>Connection (from the next connection on)</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>Server</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>Phone&apos;s own tools</source>
        <translation>Phone&apos;s own tools</translation>
    </message>
    <message>
        <source>The VaDizede server when the phone can run it, else the phone&apos;s own tools</source>
        <translation>The VaDizede server when the phone can run it, else the phone&apos;s own tools</translation>
    </message>
    <message>
        <source>The phone&apos;s screen recorder and input command: slower input, no clipboard</source>
        <translation>The phone&apos;s screen recorder and input command: slower input, no clipboard</translation>
    </message>
</context>
<context>
    <name>StatementDialog</name>
    <message>
        <source>Open Source Code Statement</source>
        <translation>Open Source Code Statement</translation>
    </message>
    <message>
        <source>This program uses the following open-source components. Their source code and licences are available at the addresses below. Our sincere thanks to the developers of these projects!

1. Qt, cross-platform application and user-interface framework:
    https://code.qt.io/cgit/qt/qtbase.git
2. FFmpeg, audio and video codecs and containers:
    https://git.ffmpeg.org/ffmpeg.git
3. libX11, X Window System client library:
    https://gitlab.freedesktop.org/xorg/lib/libx11
4. libXfixes, X extension library (keeping the pointer in an area):
    https://gitlab.freedesktop.org/xorg/lib/libxfixes</source>
        <translation>This program uses the following open-source components. Their source code and licences are available at the addresses below. Our sincere thanks to the developers of these projects!

1. Qt, cross-platform application and user-interface framework:
    https://code.qt.io/cgit/qt/qtbase.git
2. FFmpeg, audio and video codecs and containers:
    https://git.ffmpeg.org/ffmpeg.git
3. libX11, X Window System client library:
    https://gitlab.freedesktop.org/xorg/lib/libx11
4. libXfixes, X extension library (keeping the pointer in an area):
    https://gitlab.freedesktop.org/xorg/lib/libxfixes</translation>
    </message>
</context>
<context>
    <name>ToolBar</name>
    <message>
        <source>Home</source>
        <translation>Home</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Snapshot</source>
        <translation>Snapshot</translation>
    </message>
    <message>
        <source>Uninstall</source>
        <translation>Uninstall</translation>
    </message>
    <message>
        <source>Recent Tasks</source>
        <translation>Recent Tasks</translation>
    </message>
    <message>
        <source>LOGCAT</source>
        <translation>LOGCAT</translation>
    </message>
    <message>
        <source>ADB</source>
        <translation>ADB</translation>
    </message>
    <message>
        <source>More</source>
        <translation>More</translation>
    </message>
    <message>
        <source>Snapshot saved: %1</source>
        <translation>Snapshot saved: %1</translation>
    </message>
    <message>
        <source>Snapshot saved; no program could open it:
%1</source>
        <translation>Snapshot saved; no program could open it:
%1</translation>
    </message>
    <message>
        <source>LOGCAT could not be written to %1</source>
        <translation>LOGCAT could not be written to %1</translation>
    </message>
    <message>
        <source>LOGCAT saved: %1</source>
        <translation>LOGCAT saved: %1</translation>
    </message>
    <message>
        <source>LOGCAT saved; no program could open it:
%1</source>
        <translation>LOGCAT saved; no program could open it:
%1</translation>
    </message>
    <message>
        <source>No terminal found; tried x-terminal-emulator and xterm</source>
        <translation>No terminal found; tried x-terminal-emulator and xterm</translation>
    </message>
    <message>
        <source>The terminal %1 did not start</source>
        <translation>The terminal %1 did not start</translation>
    </message>
</context>
<context>
    <name>ToolMenuMore</name>
    <message>
        <source>Keymap</source>
        <translation>Keymap</translation>
    </message>
    <message>
        <source>Adb Location</source>
        <translation>Adb Location</translation>
    </message>
    <message>
        <source>Statement</source>
        <translation>Statement</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Devices</source>
        <translation>Devices</translation>
    </message>
</context>
<context>
    <name>VersionDialog</name>
    <message>
        <source>Version Info</source>
        <translation>Version Info</translation>
    </message>
    <message>
        <source>Version Number: %1</source>
        <translation>Version Number: %1</translation>
    </message>
</context>
<context>
    <name>VideoForm</name>
    <message>
        <source>Wireless</source>
        <translation>Wireless</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Start with group control on: what is done on one mirrored device is repeated on every other.</source>
        <translation>Start with group control on: what is done on one mirrored device is repeated on every other.</translation>
    </message>
    <message>
        <source>--no-display records one device: give --serial once</source>
        <translation>--no-display records one device: give --serial once</translation>
    </message>
    <message>
        <source>Connect only this device; wait for it while it is not attached. Given several times, each device is mirrored in a window of its own.</source>
        <translation>Connect only this device; wait for it while it is not attached. Given several times, each device is mirrored in a window of its own.</translation>
    </message>
    <message>
        <source>a device serial as adb devices lists it</source>
        <translation>a device serial as adb devices lists it</translation>
    </message>
    <message>
        <source>Record the stream to FILE (.mp4 or .mkv); a missing folder is created.</source>
        <translation>Record the stream to FILE (.mp4 or .mkv); a missing folder is created.</translation>
    </message>
    <message>
        <source>a file name ending in .mp4 or .mkv</source>
        <translation>a file name ending in .mp4 or .mkv</translation>
    </message>
    <message>
        <source>Start with this keymap: a file, or the name of one in the keymap folder.</source>
        <translation>Start with this keymap: a file, or the name of one in the keymap folder.</translation>
    </message>
    <message>
        <source>a readable keymap file, or the name of one in the keymap folder</source>
        <translation>a readable keymap file, or the name of one in the keymap folder</translation>
    </message>
    <message>
        <source>Limit the longer side of the picture to N pixels (0: no limit).</source>
        <translation>Limit the longer side of the picture to N pixels (0: no limit).</translation>
    </message>
    <message>
        <source>a whole number from 0 to 65535</source>
        <translation>a whole number from 0 to 65535</translation>
    </message>
    <message>
        <source>Video bit rate in bits per second; K and M suffixes accepted (8M).</source>
        <translation>Video bit rate in bits per second; K and M suffixes accepted (8M).</translation>
    </message>
    <message>
        <source>a number of bits per second from 1 to 2147483647, with an optional K or M suffix</source>
        <translation>a number of bits per second from 1 to 2147483647, with an optional K or M suffix</translation>
    </message>
    <message>
        <source>Limit the frame rate to N frames a second (0: no limit).</source>
        <translation>Limit the frame rate to N frames a second (0: no limit).</translation>
    </message>
    <message>
        <source>a whole number from 0 to 1000</source>
        <translation>a whole number from 0 to 1000</translation>
    </message>
    <message>
        <source>Lock the picture&apos;s orientation: 0 to 3 quarter turns, -1 unlocked.</source>
        <translation>Lock the picture&apos;s orientation: 0 to 3 quarter turns, -1 unlocked.</translation>
    </message>
    <message>
        <source>-1 or a whole number from 0 to 3</source>
        <translation>-1 or a whole number from 0 to 3</translation>
    </message>
    <message>
        <source>Local TCP port of the connection (default %1).</source>
        <translation>Local TCP port of the connection (default %1).</translation>
    </message>
    <message>
        <source>a port number from 1 to 65535</source>
        <translation>a port number from 1 to 65535</translation>
    </message>
    <message>
        <source>Show TEXT in the window title in place of the program&apos;s name.</source>
        <translation>Show TEXT in the window title in place of the program&apos;s name.</translation>
    </message>
    <message>
        <source>a text</source>
        <translation>a text</translation>
    </message>
    <message>
        <source>No window and no decoding; needs --record. Ends when the device disconnects or on Ctrl+C.</source>
        <translation>No window and no decoding; needs --record. Ends when the device disconnects or on Ctrl+C.</translation>
    </message>
    <message>
        <source>Use a forward tunnel only (the computer connects to the device).</source>
        <translation>Use a forward tunnel only (the computer connects to the device).</translation>
    </message>
    <message>
        <source>Keep the device awake while it is connected.</source>
        <translation>Keep the device awake while it is connected.</translation>
    </message>
    <message>
        <source>Turn the device&apos;s screen off once connected; mirroring goes on.</source>
        <translation>Turn the device&apos;s screen off once connected; mirroring goes on.</translation>
    </message>
    <message>
        <source>Show touches on the device while connected; restored afterwards.</source>
        <translation>Show touches on the device while connected; restored afterwards.</translation>
    </message>
    <message>
        <source>Start in full screen.</source>
        <translation>Start in full screen.</translation>
    </message>
    <message>
        <source>Print the serial and state of every device adb lists, then exit.</source>
        <translation>Print the serial and state of every device adb lists, then exit.</translation>
    </message>
    <message>
        <source>Print the version, then exit.</source>
        <translation>Print the version, then exit.</translation>
    </message>
    <message>
        <source>Print this help, then exit.</source>
        <translation>Print this help, then exit.</translation>
    </message>
    <message>
        <source>unexpected argument &quot;%1&quot;; run with --help for the accepted options</source>
        <translation>unexpected argument &quot;%1&quot;; run with --help for the accepted options</translation>
    </message>
    <message>
        <source>unknown option %1; run with --help for the accepted options</source>
        <translation>unknown option %1; run with --help for the accepted options</translation>
    </message>
    <message>
        <source>%1 needs a value: %2</source>
        <translation>%1 needs a value: %2</translation>
    </message>
    <message>
        <source>--no-display needs --record FILE: without a window the only work is recording</source>
        <translation>--no-display needs --record FILE: without a window the only work is recording</translation>
    </message>
    <message>
        <source>--keymap: &quot;%1&quot; is not a usable keymap (%2)</source>
        <translation>--keymap: &quot;%1&quot; is not a usable keymap (%2)</translation>
    </message>
    <message>
        <source>%1: expected %3, got &quot;%2&quot;</source>
        <translation>%1: expected %3, got &quot;%2&quot;</translation>
    </message>
    <message>
        <source>Mirrors an Android device&apos;s screen and controls the device with mouse and keyboard.</source>
        <translation>Mirrors an Android device&apos;s screen and controls the device with mouse and keyboard.</translation>
    </message>
    <message>
        <source>%1: adb devices failed: %2</source>
        <translation>%1: adb devices failed: %2</translation>
    </message>
    <message>
        <source>%1: cannot open the display; set DISPLAY, or use --no-display</source>
        <translation>%1: cannot open the display; set DISPLAY, or use --no-display</translation>
    </message>
    <message>
        <source>How to reach the device: our server, the phone&apos;s own screen recorder and input command, or auto (the server, else the phone&apos;s tools).</source>
        <translation>How to reach the device: our server, the phone&apos;s own screen recorder and input command, or auto (the server, else the phone&apos;s tools).</translation>
    </message>
    <message>
        <source>auto, server or shell</source>
        <translation>auto, server or shell</translation>
    </message>
    <message>
        <source>Mirror only this part of the device&apos;s screen: W x H pixels from X, Y.</source>
        <translation>Mirror only this part of the device&apos;s screen: W x H pixels from X, Y.</translation>
    </message>
    <message>
        <source>W:H:X:Y with width and height from 1 to 65535 and X and Y from 0 to 65535 (1080:1080:0:600)</source>
        <translation>W:H:X:Y with width and height from 1 to 65535 and X and Y from 0 to 65535 (1080:1080:0:600)</translation>
    </message>
    <message>
        <source>Mirror the device&apos;s display N (default 0, its own screen).</source>
        <translation>Mirror the device&apos;s display N (default 0, its own screen).</translation>
    </message>
    <message>
        <source>a display number from 0 to 2147483647</source>
        <translation>a display number from 0 to 2147483647</translation>
    </message>
    <message>
        <source>Left edge of the window on the desktop; needs --window-y.</source>
        <translation>Left edge of the window on the desktop; needs --window-y.</translation>
    </message>
    <message>
        <source>Top edge of the window on the desktop; needs --window-x.</source>
        <translation>Top edge of the window on the desktop; needs --window-x.</translation>
    </message>
    <message>
        <source>a whole number from -65535 to 65535</source>
        <translation>a whole number from -65535 to 65535</translation>
    </message>
    <message>
        <source>Width of the window in pixels.</source>
        <translation>Width of the window in pixels.</translation>
    </message>
    <message>
        <source>Height of the window in pixels.</source>
        <translation>Height of the window in pixels.</translation>
    </message>
    <message>
        <source>a whole number of pixels from 1 to 65535</source>
        <translation>a whole number of pixels from 1 to 65535</translation>
    </message>
    <message>
        <source>End the recording after SECONDS (with --no-display, the program too); needs --record.</source>
        <translation>End the recording after SECONDS (with --no-display, the program too); needs --record.</translation>
    </message>
    <message>
        <source>a whole number of seconds from 1 to 2147483</source>
        <translation>a whole number of seconds from 1 to 2147483</translation>
    </message>
    <message>
        <source>Device folder for dropped files other than APKs (default /sdcard/Download/).</source>
        <translation>Device folder for dropped files other than APKs (default /sdcard/Download/).</translation>
    </message>
    <message>
        <source>an absolute folder on the device (/sdcard/Documents/)</source>
        <translation>an absolute folder on the device (/sdcard/Documents/)</translation>
    </message>
    <message>
        <source>View only: nothing typed or clicked reaches the device.</source>
        <translation>View only: nothing typed or clicked reaches the device.</translation>
    </message>
    <message>
        <source>Keep the window above other windows.</source>
        <translation>Keep the window above other windows.</translation>
    </message>
    <message>
        <source>Show the window without frame and title bar.</source>
        <translation>Show the window without frame and title bar.</translation>
    </message>
    <message>
        <source>Turn the device&apos;s screen off when its window closes.</source>
        <translation>Turn the device&apos;s screen off when its window closes.</translation>
    </message>
    <message>
        <source>Mirror over Wi-Fi: switch the attached USB device to wireless first, or with --tcpip=IP[:PORT] connect to that address.</source>
        <translation>Mirror over Wi-Fi: switch the attached USB device to wireless first, or with --tcpip=IP[:PORT] connect to that address.</translation>
    </message>
    <message>
        <source>an IPv4 address with an optional :PORT from 1 to 65535 (192.168.1.5:5555)</source>
        <translation>an IPv4 address with an optional :PORT from 1 to 65535 (192.168.1.5:5555)</translation>
    </message>
    <message>
        <source>--time-limit needs --record FILE: it ends the recording</source>
        <translation>--time-limit needs --record FILE: it ends the recording</translation>
    </message>
    <message>
        <source>--window-x and --window-y go together: a position needs both</source>
        <translation>--window-x and --window-y go together: a position needs both</translation>
    </message>
    <message>
        <source>--serial cannot go with --tcpip=ADDRESS: the address names the device</source>
        <translation>--serial cannot go with --tcpip=ADDRESS: the address names the device</translation>
    </message>
    <message>
        <source>%1 cannot go with --no-control: it drives the device</source>
        <translation>%1 cannot go with --no-control: it drives the device</translation>
    </message>
</context>
<context>
    <name>HeadlessRecording</name>
    <message>
        <source>cannot write %1: its folder cannot be created or written to</source>
        <translation>cannot write %1: its folder cannot be created or written to</translation>
    </message>
    <message>
        <source>stopped before a device was connected; nothing was recorded</source>
        <translation>stopped before a device was connected; nothing was recorded</translation>
    </message>
    <message>
        <source>adb was not found; install it or set its path in the settings</source>
        <translation>adb was not found; install it or set its path in the settings</translation>
    </message>
    <message>
        <source>could not connect %1</source>
        <translation>could not connect %1</translation>
    </message>
    <message>
        <source>mirroring of %1 could not start; the log names the step that failed</source>
        <translation>mirroring of %1 could not start; the log names the step that failed</translation>
    </message>
    <message>
        <source>Recording %1 (%2, %3x%4) to %5; Ctrl+C ends the recording.</source>
        <translation>Recording %1 (%2, %3x%4) to %5; Ctrl+C ends the recording.</translation>
    </message>
    <message>
        <source>%1 is not a playable recording: %2</source>
        <translation>%1 is not a playable recording: %2</translation>
    </message>
</context>
<context>
    <name>DeviceTitle</name>
    <message>
        <source>group</source>
        <translation>group</translation>
    </message>
    <message>
        <source>%1 fps</source>
        <translation>%1 fps</translation>
    </message>
    <message>
        <source>game</source>
        <translation>game</translation>
    </message>
    <message>
        <source>view only</source>
        <translation>view only</translation>
    </message>
</context>
<context>
    <name>KeymapMenu</name>
    <message>
        <source>Keymap</source>
        <translation>Keymap</translation>
    </message>
    <message>
        <source>None</source>
        <translation>None</translation>
    </message>
    <message>
        <source>Keymap: %1</source>
        <translation>Keymap: %1</translation>
    </message>
</context>
<context>
    <name>WirelessStart</name>
    <message>
        <source>adb was not found; install it or set its path in the settings</source>
        <translation>adb was not found; install it or set its path in the settings</translation>
    </message>
    <message>
        <source>%1 could not be switched to Wi-Fi: reading its Wi-Fi address (adb shell ifconfig wlan0) failed: %2</source>
        <translation>%1 could not be switched to Wi-Fi: reading its Wi-Fi address (adb shell ifconfig wlan0) failed: %2</translation>
    </message>
    <message>
        <source>%1 could not be switched to Wi-Fi: restarting adb on it in wireless mode (adb tcpip %2) failed: %3</source>
        <translation>%1 could not be switched to Wi-Fi: restarting adb on it in wireless mode (adb tcpip %2) failed: %3</translation>
    </message>
    <message>
        <source>%1 could not be switched to Wi-Fi: reading its Wi-Fi address (adb shell ifconfig wlan0) found none; is its Wi-Fi on?</source>
        <translation>%1 could not be switched to Wi-Fi: reading its Wi-Fi address (adb shell ifconfig wlan0) found none; is its Wi-Fi on?</translation>
    </message>
    <message>
        <source>Waiting for a USB device to switch to Wi-Fi</source>
        <translation>Waiting for a USB device to switch to Wi-Fi</translation>
    </message>
    <message>
        <source>Switching %1 to Wi-Fi</source>
        <translation>Switching %1 to Wi-Fi</translation>
    </message>
    <message>
        <source>Connected to %1</source>
        <translation>Connected to %1</translation>
    </message>
    <message>
        <source>connecting to %1 (adb connect %1) failed: %2</source>
        <translation>connecting to %1 (adb connect %1) failed: %2</translation>
    </message>
    <message>
        <source>no output</source>
        <translation>no output</translation>
    </message>
</context>
</TS>
