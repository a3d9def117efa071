<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>MainWindow</name>
    <message>
        <source>VaDizede</source>
        <translation type="unfinished"></translation>
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
    <name>VideoForm</name>
    <message>
        <source>wireless</source>
        <translation>Wireless</translation>
    </message>
</context>
</TS>
