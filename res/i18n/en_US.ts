<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
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
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>VaDizede</source>
        <translation>VaDizede</translation>
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
</context>
<context>
    <name>StatementDialog</name>
    <message>
        <source>Open Source Code Statement</source>
        <translation>Open Source Code Statement</translation>
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
</context>
<context>
    <name>ToolMenuMore</name>
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
</context>
<context>
    <name>VersionDialog</name>
    <message>
        <source>Version Info</source>
        <translation>Version Info</translation>
    </message>
    <message>
        <source>Version Number:</source>
        <translation>Version Number:</translation>
    </message>
</context>
<context>
    <name>VideoForm</name>
    <message>
        <source>wireless</source>
        <translation>Wireless</translation>
    </message>
</context>
</TS>
