<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
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
    <name>DropTip</name>
    <message>
        <source>Hi,
Drag App to Left 
to Install it.</source>
        <translation>Hi,
安装应用请拖拽到
左侧大屏区域哦</translation>
    </message>
</context>
<context>
    <name>LogoWidget</name>
    <message>
        <source>Please connect device</source>
        <translation>请连接设备</translation>
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
        <translation>连接成功</translation>
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
    <name>SettingDialog</name>
    <message>
        <source>ADB File Location</source>
        <translation>ADB文件位置</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>浏览</translation>
    </message>
    <message>
        <source>FPS</source>
        <translation>帧率设置</translation>
    </message>
</context>
<context>
    <name>StatementDialog</name>
    <message>
        <source>Open Source Code Statement</source>
        <translation>开源代码声明</translation>
    </message>
</context>
<context>
    <name>ToolBar</name>
    <message>
        <source>Home</source>
        <translation>回到主页</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>返回上一页</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Snapshot</source>
        <translation>截屏</translation>
    </message>
    <message>
        <source>Uninstall</source>
        <translation>卸载应用</translation>
    </message>
    <message>
        <source>Recent Tasks</source>
        <translation>近期任务</translation>
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
        <translation>更多</translation>
    </message>
</context>
<context>
    <name>ToolMenuMore</name>
    <message>
        <source>Adb Location</source>
        <translation>ADB文件位置</translation>
    </message>
    <message>
        <source>Statement</source>
        <translation>开源代码声明</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>版本信息</translation>
    </message>
</context>
<context>
    <name>VersionDialog</name>
    <message>
        <source>Version Info</source>
        <translation>版本信息</translation>
    </message>
    <message>
        <source>Version Number:</source>
        <translation>版本号：</translation>
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
