<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>DevicesDialog</name>
    <message>
        <source>Devices</source>
        <translation>设备</translation>
    </message>
    <message>
        <source>Group control</source>
        <translation>群控</translation>
    </message>
    <message>
        <source>Repeat what is done on one mirrored device on every other one</source>
        <translation>在一台投屏设备上的操作同步到其他所有投屏设备</translation>
    </message>
    <message>
        <source>Serial</source>
        <translation>序列号</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>型号</translation>
    </message>
    <message>
        <source>State</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Mirrored</source>
        <translation>是否投屏</translation>
    </message>
    <message>
        <source>adb could not list the devices</source>
        <translation>adb 无法列出设备</translation>
    </message>
    <message>
        <source>No device is attached</source>
        <translation>未连接设备</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Mirror</source>
        <translation>投屏</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>就绪</translation>
    </message>
    <message>
        <source>Unauthorized</source>
        <translation>未授权</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>离线</translation>
    </message>
    <message>
        <source>Accept the USB debugging prompt on the phone</source>
        <translation>请在手机上允许 USB 调试</translation>
    </message>
    <message>
        <source>Reconnect the cable</source>
        <translation>请重新插拔数据线</translation>
    </message>
    <message>
        <source>%1 could not be mirrored</source>
        <translation>%1 无法投屏</translation>
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
    <message>
        <source>Pushed: %1</source>
        <translation>已推送：%1</translation>
    </message>
    <message>
        <source>Push failed: %1</source>
        <translation>推送失败：%1</translation>
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
    <message>
        <source>Waiting for %1</source>
        <translation>正在等待 %1</translation>
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
        <translation>游戏模式已开启</translation>
    </message>
    <message>
        <source>Game mode off</source>
        <translation>游戏模式已关闭</translation>
    </message>
    <message>
        <source>Mirroring with the phone&apos;s own screen recorder: slower input, no clipboard</source>
        <translation>正在使用手机自带的录屏投屏：输入较慢，无剪贴板</translation>
    </message>
    <message>
        <source>Not available without the VaDizede server on the device</source>
        <translation>设备上没有 VaDizede 服务端时不可用</translation>
    </message>
    <message>
        <source>Without the VaDizede server only plain ASCII can be typed; the rest was left out</source>
        <translation>没有 VaDizede 服务端时只能输入 ASCII 字符，其余字符已略去</translation>
    </message>
    <message>
        <source>Could not mirror %1: %2</source>
        <translation>无法投屏 %1：%2</translation>
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
    <message>
        <source>Applies from the next connection</source>
        <translation>将在下次连接时生效</translation>
    </message>
    <message>
        <source>Connection (from the next connection on)</source>
        <translation>连接方式（下次连接时生效）</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>自动</translation>
    </message>
    <message>
        <source>Server</source>
        <translation>服务端</translation>
    </message>
    <message>
        <source>Phone&apos;s own tools</source>
        <translation>手机自带工具</translation>
    </message>
    <message>
        <source>The VaDizede server when the phone can run it, else the phone&apos;s own tools</source>
        <translation>手机能运行时使用 VaDizede 服务端，否则使用手机自带工具</translation>
    </message>
    <message>
        <source>The phone&apos;s screen recorder and input command: slower input, no clipboard</source>
        <translation>使用手机的录屏和 input 命令：输入较慢，无剪贴板</translation>
    </message>
</context>
<context>
    <name>StatementDialog</name>
    <message>
        <source>Open Source Code Statement</source>
        <translation>开源代码声明</translation>
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
        <translation>本软件使用了以下开源组件，其源代码及许可证信息可在下列地址获取。衷心感谢这些开源项目的开发者！

1. Qt：跨平台应用程序与界面框架
    https://code.qt.io/cgit/qt/qtbase.git
2. FFmpeg：音视频编解码与封装库
    https://git.ffmpeg.org/ffmpeg.git
3. libX11：X Window 系统客户端库
    https://gitlab.freedesktop.org/xorg/lib/libx11
4. libXfixes：X 扩展库（鼠标范围限制）
    https://gitlab.freedesktop.org/xorg/lib/libxfixes</translation>
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
    <message>
        <source>Snapshot saved: %1</source>
        <translation>快照已保存：%1</translation>
    </message>
    <message>
        <source>Snapshot saved; no program could open it:
%1</source>
        <translation>快照已保存，但没有程序可以打开它：
%1</translation>
    </message>
    <message>
        <source>LOGCAT could not be written to %1</source>
        <translation>无法将 LOGCAT 写入 %1</translation>
    </message>
    <message>
        <source>LOGCAT saved: %1</source>
        <translation>LOGCAT 已保存：%1</translation>
    </message>
    <message>
        <source>LOGCAT saved; no program could open it:
%1</source>
        <translation>LOGCAT 已保存，但没有程序可以打开它：
%1</translation>
    </message>
    <message>
        <source>No terminal found; tried x-terminal-emulator and xterm</source>
        <translation>未找到终端；已尝试 x-terminal-emulator 和 xterm</translation>
    </message>
    <message>
        <source>The terminal %1 did not start</source>
        <translation>终端 %1 未能启动</translation>
    </message>
</context>
<context>
    <name>ToolMenuMore</name>
    <message>
        <source>Keymap</source>
        <translation>按键映射</translation>
    </message>
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
    <message>
        <source>Devices</source>
        <translation>设备</translation>
    </message>
</context>
<context>
    <name>VersionDialog</name>
    <message>
        <source>Version Info</source>
        <translation>版本信息</translation>
    </message>
    <message>
        <source>Version Number: %1</source>
        <translation>版本号：%1</translation>
    </message>
</context>
<context>
    <name>VideoForm</name>
    <message>
        <source>Wireless</source>
        <translation>无线</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Start with group control on: what is done on one mirrored device is repeated on every other.</source>
        <translation>启动时开启群控：在一台投屏设备上的操作会在其他每台设备上重复。</translation>
    </message>
    <message>
        <source>--no-display records one device: give --serial once</source>
        <translation>--no-display 只录制一台设备：--serial 只能给出一次</translation>
    </message>
    <message>
        <source>Connect only this device; wait for it while it is not attached. Given several times, each device is mirrored in a window of its own.</source>
        <translation>只连接此设备；未连接时等待它。多次给出时，每个设备在各自的窗口中投屏。</translation>
    </message>
    <message>
        <source>a device serial as adb devices lists it</source>
        <translation>adb devices 列出的设备序列号</translation>
    </message>
    <message>
        <source>Record the stream to FILE (.mp4 or .mkv); a missing folder is created.</source>
        <translation>将视频流录制到 FILE（.mp4 或 .mkv）；缺少的文件夹会被创建。</translation>
    </message>
    <message>
        <source>a file name ending in .mp4 or .mkv</source>
        <translation>以 .mp4 或 .mkv 结尾的文件名</translation>
    </message>
    <message>
        <source>Start with this keymap: a file, or the name of one in the keymap folder.</source>
        <translation>使用此按键映射启动：一个文件，或按键映射文件夹中的文件名。</translation>
    </message>
    <message>
        <source>a readable keymap file, or the name of one in the keymap folder</source>
        <translation>可读的按键映射文件，或按键映射文件夹中的文件名</translation>
    </message>
    <message>
        <source>Limit the longer side of the picture to N pixels (0: no limit).</source>
        <translation>将画面长边限制为 N 像素（0：不限制）。</translation>
    </message>
    <message>
        <source>a whole number from 0 to 65535</source>
        <translation>0 到 65535 之间的整数</translation>
    </message>
    <message>
        <source>Video bit rate in bits per second; K and M suffixes accepted (8M).</source>
        <translation>视频码率，单位为比特每秒；可用 K 和 M 后缀（8M）。</translation>
    </message>
    <message>
        <source>a number of bits per second from 1 to 2147483647, with an optional K or M suffix</source>
        <translation>1 到 2147483647 之间的比特每秒数，可带 K 或 M 后缀</translation>
    </message>
    <message>
        <source>Limit the frame rate to N frames a second (0: no limit).</source>
        <translation>将帧率限制为每秒 N 帧（0：不限制）。</translation>
    </message>
    <message>
        <source>a whole number from 0 to 1000</source>
        <translation>0 到 1000 之间的整数</translation>
    </message>
    <message>
        <source>Lock the picture&apos;s orientation: 0 to 3 quarter turns, -1 unlocked.</source>
        <translation>锁定画面方向：0 到 3 个四分之一圈，-1 不锁定。</translation>
    </message>
    <message>
        <source>-1 or a whole number from 0 to 3</source>
        <translation>-1 或 0 到 3 之间的整数</translation>
    </message>
    <message>
        <source>Local TCP port of the connection (default %1).</source>
        <translation>连接使用的本地 TCP 端口（默认 %1）。</translation>
    </message>
    <message>
        <source>a port number from 1 to 65535</source>
        <translation>1 到 65535 之间的端口号</translation>
    </message>
    <message>
        <source>Show TEXT in the window title in place of the program&apos;s name.</source>
        <translation>在窗口标题中用 TEXT 代替程序名称。</translation>
    </message>
    <message>
        <source>a text</source>
        <translation>一段文字</translation>
    </message>
    <message>
        <source>No window and no decoding; needs --record. Ends when the device disconnects or on Ctrl+C.</source>
        <translation>不显示窗口也不解码；需要 --record。设备断开或按 Ctrl+C 时结束。</translation>
    </message>
    <message>
        <source>Use a forward tunnel only (the computer connects to the device).</source>
        <translation>只使用正向隧道（由电脑连接设备）。</translation>
    </message>
    <message>
        <source>Keep the device awake while it is connected.</source>
        <translation>连接期间保持设备唤醒。</translation>
    </message>
    <message>
        <source>Turn the device&apos;s screen off once connected; mirroring goes on.</source>
        <translation>连接后关闭设备屏幕；投屏继续。</translation>
    </message>
    <message>
        <source>Show touches on the device while connected; restored afterwards.</source>
        <translation>连接期间在设备上显示触摸位置；之后恢复原设置。</translation>
    </message>
    <message>
        <source>Start in full screen.</source>
        <translation>以全屏启动。</translation>
    </message>
    <message>
        <source>Print the serial and state of every device adb lists, then exit.</source>
        <translation>打印 adb 列出的每个设备的序列号和状态，然后退出。</translation>
    </message>
    <message>
        <source>Print the version, then exit.</source>
        <translation>打印版本号，然后退出。</translation>
    </message>
    <message>
        <source>Print this help, then exit.</source>
        <translation>打印此帮助，然后退出。</translation>
    </message>
    <message>
        <source>unexpected argument &quot;%1&quot;; run with --help for the accepted options</source>
        <translation>无法识别的参数“%1”；使用 --help 查看可用选项</translation>
    </message>
    <message>
        <source>unknown option %1; run with --help for the accepted options</source>
        <translation>未知选项 %1；使用 --help 查看可用选项</translation>
    </message>
    <message>
        <source>%1 needs a value: %2</source>
        <translation>%1 需要一个值：%2</translation>
    </message>
    <message>
        <source>--no-display needs --record FILE: without a window the only work is recording</source>
        <translation>--no-display 需要 --record FILE：没有窗口时只能录制</translation>
    </message>
    <message>
        <source>--keymap: &quot;%1&quot; is not a usable keymap (%2)</source>
        <translation>--keymap：“%1”不是可用的按键映射（%2）</translation>
    </message>
    <message>
        <source>%1: expected %3, got &quot;%2&quot;</source>
        <translation>%1：应为%3，实际为“%2”</translation>
    </message>
    <message>
        <source>Mirrors an Android device&apos;s screen and controls the device with mouse and keyboard.</source>
        <translation>投射 Android 设备的屏幕，并用鼠标和键盘控制设备。</translation>
    </message>
    <message>
        <source>%1: adb devices failed: %2</source>
        <translation>%1：adb devices 失败：%2</translation>
    </message>
    <message>
        <source>%1: cannot open the display; set DISPLAY, or use --no-display</source>
        <translation>%1：无法打开显示；请设置 DISPLAY，或使用 --no-display</translation>
    </message>
    <message>
        <source>How to reach the device: our server, the phone&apos;s own screen recorder and input command, or auto (the server, else the phone&apos;s tools).</source>
        <translation>连接设备的方式：我们的服务端、手机自带的录屏和 input 命令，或 auto（优先服务端，否则手机自带工具）。</translation>
    </message>
    <message>
        <source>auto, server or shell</source>
        <translation>auto、server 或 shell</translation>
    </message>
    <message>
        <source>Mirror only this part of the device&apos;s screen: W x H pixels from X, Y.</source>
        <translation>只镜像设备屏幕的这一部分：从 X, Y 起 W x H 像素。</translation>
    </message>
    <message>
        <source>W:H:X:Y with width and height from 1 to 65535 and X and Y from 0 to 65535 (1080:1080:0:600)</source>
        <translation>W:H:X:Y，宽和高为 1 到 65535，X 和 Y 为 0 到 65535（1080:1080:0:600）</translation>
    </message>
    <message>
        <source>Mirror the device&apos;s display N (default 0, its own screen).</source>
        <translation>镜像设备的显示器 N（默认 0，即设备自身的屏幕）。</translation>
    </message>
    <message>
        <source>a display number from 0 to 2147483647</source>
        <translation>0 到 2147483647 之间的显示器编号</translation>
    </message>
    <message>
        <source>Left edge of the window on the desktop; needs --window-y.</source>
        <translation>窗口在桌面上的左边缘；需要 --window-y。</translation>
    </message>
    <message>
        <source>Top edge of the window on the desktop; needs --window-x.</source>
        <translation>窗口在桌面上的上边缘；需要 --window-x。</translation>
    </message>
    <message>
        <source>a whole number from -65535 to 65535</source>
        <translation>-65535 到 65535 之间的整数</translation>
    </message>
    <message>
        <source>Width of the window in pixels.</source>
        <translation>窗口宽度（像素）。</translation>
    </message>
    <message>
        <source>Height of the window in pixels.</source>
        <translation>窗口高度（像素）。</translation>
    </message>
    <message>
        <source>a whole number of pixels from 1 to 65535</source>
        <translation>1 到 65535 之间的像素数</translation>
    </message>
    <message>
        <source>End the recording after SECONDS (with --no-display, the program too); needs --record.</source>
        <translation>SECONDS 秒后结束录制（使用 --no-display 时程序也结束）；需要 --record。</translation>
    </message>
    <message>
        <source>a whole number of seconds from 1 to 2147483</source>
        <translation>1 到 2147483 之间的秒数</translation>
    </message>
    <message>
        <source>Device folder for dropped files other than APKs (default /sdcard/Download/).</source>
        <translation>拖放的非 APK 文件在设备上的存放文件夹（默认 /sdcard/Download/）。</translation>
    </message>
    <message>
        <source>an absolute folder on the device (/sdcard/Documents/)</source>
        <translation>设备上的绝对路径文件夹（/sdcard/Documents/）</translation>
    </message>
    <message>
        <source>View only: nothing typed or clicked reaches the device.</source>
        <translation>仅查看：键入或点击的内容都不会发送到设备。</translation>
    </message>
    <message>
        <source>Keep the window above other windows.</source>
        <translation>使窗口保持在其他窗口之上。</translation>
    </message>
    <message>
        <source>Show the window without frame and title bar.</source>
        <translation>显示无边框、无标题栏的窗口。</translation>
    </message>
    <message>
        <source>Turn the device&apos;s screen off when its window closes.</source>
        <translation>关闭窗口时关闭设备屏幕。</translation>
    </message>
    <message>
        <source>Mirror over Wi-Fi: switch the attached USB device to wireless first, or with --tcpip=IP[:PORT] connect to that address.</source>
        <translation>通过 Wi-Fi 镜像：先将已连接的 USB 设备切换为无线，或使用 --tcpip=IP[:PORT] 连接该地址。</translation>
    </message>
    <message>
        <source>an IPv4 address with an optional :PORT from 1 to 65535 (192.168.1.5:5555)</source>
        <translation>IPv4 地址，可带 1 到 65535 之间的 :PORT（192.168.1.5:5555）</translation>
    </message>
    <message>
        <source>--time-limit needs --record FILE: it ends the recording</source>
        <translation>--time-limit 需要 --record FILE：它结束的是录制</translation>
    </message>
    <message>
        <source>--window-x and --window-y go together: a position needs both</source>
        <translation>--window-x 和 --window-y 须一起使用：位置需要两者</translation>
    </message>
    <message>
        <source>--serial cannot go with --tcpip=ADDRESS: the address names the device</source>
        <translation>--serial 不能与 --tcpip=ADDRESS 一起使用：地址已指定设备</translation>
    </message>
    <message>
        <source>%1 cannot go with --no-control: it drives the device</source>
        <translation>%1 不能与 --no-control 一起使用：它会操作设备</translation>
    </message>
</context>
<context>
    <name>HeadlessRecording</name>
    <message>
        <source>cannot write %1: its folder cannot be created or written to</source>
        <translation>无法写入 %1：无法创建或写入其文件夹</translation>
    </message>
    <message>
        <source>stopped before a device was connected; nothing was recorded</source>
        <translation>在设备连接前已停止；没有录制任何内容</translation>
    </message>
    <message>
        <source>adb was not found; install it or set its path in the settings</source>
        <translation>找不到 adb；请安装它或在设置中指定其路径</translation>
    </message>
    <message>
        <source>could not connect %1</source>
        <translation>无法连接 %1</translation>
    </message>
    <message>
        <source>mirroring of %1 could not start; the log names the step that failed</source>
        <translation>%1 的投屏无法启动；日志中记录了失败的步骤</translation>
    </message>
    <message>
        <source>Recording %1 (%2, %3x%4) to %5; Ctrl+C ends the recording.</source>
        <translation>正在录制 %1（%2，%3x%4）到 %5；按 Ctrl+C 结束录制。</translation>
    </message>
    <message>
        <source>%1 is not a playable recording: %2</source>
        <translation>%1 不是可播放的录像：%2</translation>
    </message>
</context>
<context>
    <name>DeviceTitle</name>
    <message>
        <source>group</source>
        <translation>群控</translation>
    </message>
    <message>
        <source>%1 fps</source>
        <translation>%1 帧/秒</translation>
    </message>
    <message>
        <source>game</source>
        <translation>游戏</translation>
    </message>
    <message>
        <source>view only</source>
        <translation>仅查看</translation>
    </message>
</context>
<context>
    <name>KeymapMenu</name>
    <message>
        <source>Keymap</source>
        <translation>按键映射</translation>
    </message>
    <message>
        <source>None</source>
        <translation>无</translation>
    </message>
    <message>
        <source>Keymap: %1</source>
        <translation>键位映射：%1</translation>
    </message>
</context>
<context>
    <name>WirelessStart</name>
    <message>
        <source>adb was not found; install it or set its path in the settings</source>
        <translation>找不到 adb；请安装它或在设置中指定其路径</translation>
    </message>
    <message>
        <source>%1 could not be switched to Wi-Fi: reading its Wi-Fi address (adb shell ifconfig wlan0) failed: %2</source>
        <translation>无法将 %1 切换到 Wi-Fi：读取其 Wi-Fi 地址（adb shell ifconfig wlan0）失败：%2</translation>
    </message>
    <message>
        <source>%1 could not be switched to Wi-Fi: restarting adb on it in wireless mode (adb tcpip %2) failed: %3</source>
        <translation>无法将 %1 切换到 Wi-Fi：在设备上以无线模式重启 adb（adb tcpip %2）失败：%3</translation>
    </message>
    <message>
        <source>%1 could not be switched to Wi-Fi: reading its Wi-Fi address (adb shell ifconfig wlan0) found none; is its Wi-Fi on?</source>
        <translation>无法将 %1 切换到 Wi-Fi：读取其 Wi-Fi 地址（adb shell ifconfig wlan0）时未找到地址；Wi-Fi 是否已打开？</translation>
    </message>
    <message>
        <source>Waiting for a USB device to switch to Wi-Fi</source>
        <translation>正在等待要切换到 Wi-Fi 的 USB 设备</translation>
    </message>
    <message>
        <source>Switching %1 to Wi-Fi</source>
        <translation>正在将 %1 切换到 Wi-Fi</translation>
    </message>
    <message>
        <source>Connected to %1</source>
        <translation>已连接到 %1</translation>
    </message>
    <message>
        <source>connecting to %1 (adb connect %1) failed: %2</source>
        <translation>连接 %1（adb connect %1）失败：%2</translation>
    </message>
    <message>
        <source>no output</source>
        <translation>无输出</translation>
    </message>
</context>
</TS>
