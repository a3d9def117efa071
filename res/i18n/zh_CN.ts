<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
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
        <translation>已成功安装：</translation>
    </message>
    <message>
        <source>Install Failure:</source>
        <translation>安装失败：</translation>
    </message>
</context>
<context>
    <name>ProgressDialog</name>
    <message>
        <source>Dialog</source>
        <translation>对话框</translation>
    </message>
    <message>
        <source>Installing Apk</source>
        <translation>正在安装APK</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>确认</translation>
    </message>
</context>
<context>
    <name>VideoForm</name>
    <message>
        <source>wireless</source>
        <translation>无线</translation>
    </message>
</context>
</TS>
