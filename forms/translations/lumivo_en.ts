<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>Tfrm_about</name>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>版本：3.0</source>
        <translation>Version: 3.0</translation>
    </message>
    <message>
        <source>绿色/免安装/无插件/免费</source>
        <translation>Portable, no setup, no plug-ins, free</translation>
    </message>
    <message>
        <source>访问软件主页</source>
        <translation>Visit the home page</translation>
    </message>
    <message>
        <source>确定(&amp;S)</source>
        <translation>&amp;OK</translation>
    </message>
</context>
<context>
    <name>Tfrm_lmvo</name>
    <message>
        <source>选择要播放的图片所在的文件夹：</source>
        <translation>Folder of the pictures to show:</translation>
    </message>
    <message>
        <source>选择文件夹...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>包含子文件夹</source>
        <translation>Subfolders</translation>
    </message>
    <message>
        <source>循环播放</source>
        <translation>Loop</translation>
    </message>
    <message>
        <source>图片切换间隔：</source>
        <translation>Interval:</translation>
    </message>
    <message>
        <source>秒</source>
        <translation>s</translation>
    </message>
    <message>
        <source>播放期间按空格键暂停，ESC键退出。也可右键菜单控制。</source>
        <translation>During the show Space pauses and Esc ends it; right-click for a menu.</translation>
    </message>
    <message>
        <source>选择要播放的背景音乐所在的文件夹（可选设置）：</source>
        <translation>Folder of the background music (optional):</translation>
    </message>
    <message>
        <source>开启背景音乐</source>
        <translation>Play music</translation>
    </message>
    <message>
        <source>访问软件主页</source>
        <translation>Home page</translation>
    </message>
    <message>
        <source>保持图片比例</source>
        <translation>Keep proportions</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>播放(&amp;P)</source>
        <translation>&amp;Play</translation>
    </message>
    <message>
        <source>关闭(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
</context>
<context>
    <name>Tfrm_slide</name>
    <message>
        <source>播放准备中，请稍等...</source>
        <translation>Getting ready, please wait...</translation>
    </message>
</context>
<context>
    <name>lmvo::CommandLine</name>
    <message>
        <source>图片切换间隔，6 到 60 秒，默认 6 秒。</source>
        <translation>How long each picture is shown, 6 to 60 seconds (default 6).</translation>
    </message>
    <message>
        <source>秒数</source>
        <translation>seconds</translation>
    </message>
    <message>
        <source>循环播放。</source>
        <translation>Start again after the last picture.</translation>
    </message>
    <message>
        <source>播放该文件夹中的背景音乐。</source>
        <translation>Play the music of this folder in the background.</translation>
    </message>
    <message>
        <source>文件夹</source>
        <translation>folder</translation>
    </message>
    <message>
        <source>不包含子文件夹。</source>
        <translation>Leave out the subfolders.</translation>
    </message>
    <message>
        <source>随机顺序播放：每一轮重新打乱，同一轮内不重复。</source>
        <translation>Random order: shuffled afresh for every pass, no picture twice within a pass.</translation>
    </message>
    <message>
        <source>保持图片比例：居中显示在黑色背景上，不拉伸到全屏。</source>
        <translation>Keep proportions: fit each picture centred on black instead of stretching it over the screen.</translation>
    </message>
    <message>
        <source>以动画切换效果全屏播放一个文件夹中的图片。不带参数启动时打开设置窗口。</source>
        <translation>Shows the pictures of a folder full screen with animated transitions. Started without arguments, it opens the settings window.</translation>
    </message>
    <message>
        <source>要播放的图片所在的文件夹。</source>
        <translation>The folder of the pictures to show.</translation>
    </message>
    <message>
        <source>[文件夹]</source>
        <translation>[folder]</translation>
    </message>
    <message>
        <source>只能指定一个图片文件夹，却给出了 %1 个</source>
        <translation>only one picture folder can be given, not %1</translation>
    </message>
    <message>
        <source>缺少图片文件夹（用法见 lmvo --help）</source>
        <translation>the picture folder is missing (see lmvo --help)</translation>
    </message>
    <message>
        <source>图片文件夹参数为空</source>
        <translation>the picture folder argument is empty</translation>
    </message>
    <message>
        <source>--interval 须为 %1 到 %2 之间的整数秒数，而不是“%3”</source>
        <translation>--interval takes whole seconds from %1 to %2, not &quot;%3&quot;</translation>
    </message>
    <message>
        <source>--music 的文件夹参数为空</source>
        <translation>the folder argument of --music is empty</translation>
    </message>
    <message>
        <source>在该屏幕上放映：屏幕编号（从 1 起，按窗口系统列出的顺序，主屏幕在前）或 xrandr 显示的输出名称（如 HDMI-1）。默认为鼠标指针所在的屏幕。</source>
        <translation>Show on this screen: its number (from 1, in the order the window system lists the screens, the primary one first) or its output name as xrandr shows it (such as HDMI-1). By default the screen under the mouse pointer.</translation>
    </message>
    <message>
        <source>屏幕</source>
        <translation>screen</translation>
    </message>
    <message>
        <source>--screen 的屏幕参数为空</source>
        <translation>the screen argument of --screen is empty</translation>
    </message>
    <message>
        <source>没有屏幕“%1”；已连接的屏幕：%2</source>
        <translation>there is no screen &quot;%1&quot;; the screens connected: %2</translation>
    </message>
</context>
<context>
    <name>lmvo::ErrorReporter</name>
    <message numerus="yes">
        <source>另有 %n 个错误未列出。</source>
        <translation>
            <numerusform>And %n more error, not listed.</numerusform>
            <numerusform>And %n more errors, not listed.</numerusform>
        </translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>Unknown error</translation>
    </message>
</context>
<context>
    <name>lmvo::FolderChooser</name>
    <message>
        <source>Browse for Folder</source>
        <translation>Browse for Folder</translation>
    </message>
</context>
<context>
    <name>lmvo::MediaPlayer</name>
    <message>
        <source>Cannot open &quot;%1&quot;: %2</source>
        <translation>Cannot open &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>the file is too large for a MIDI song (more than %1 MB)</source>
        <translation>the file is too large for a MIDI song (more than %1 MB)</translation>
    </message>
    <message>
        <source>it is not a Standard MIDI File</source>
        <translation>it is not a Standard MIDI File</translation>
    </message>
    <message>
        <source>MIDI files of format %1 are not supported</source>
        <translation>MIDI files of format %1 are not supported</translation>
    </message>
    <message>
        <source>the timing in its header is invalid</source>
        <translation>the timing in its header is invalid</translation>
    </message>
    <message>
        <source>the song would last longer than %1 hours</source>
        <translation>the song would last longer than %1 hours</translation>
    </message>
    <message>
        <source>the MIDI file has no notes to play</source>
        <translation>the MIDI file has no notes to play</translation>
    </message>
    <message>
        <source>no General MIDI SoundFont is installed (looked for %1); install one, such as the package fluid-soundfont-gm, or name one in the environment variable LMVO_SOUNDFONT</source>
        <translation>no General MIDI SoundFont is installed (looked for %1); install one, such as the package fluid-soundfont-gm, or name one in the environment variable LMVO_SOUNDFONT</translation>
    </message>
    <message>
        <source>the SoundFont &quot;%1&quot; cannot be loaded (%2)</source>
        <translation>the SoundFont &quot;%1&quot; cannot be loaded (%2)</translation>
    </message>
    <message>
        <source>the MIDI synthesiser cannot be started (%1)</source>
        <translation>the MIDI synthesiser cannot be started (%1)</translation>
    </message>
    <message>
        <source>The audio player could not be started</source>
        <translation>The audio player could not be started</translation>
    </message>
    <message>
        <source>The audio player could not be started: %1</source>
        <translation>The audio player could not be started: %1</translation>
    </message>
    <message>
        <source>it took too long to load</source>
        <translation>it took too long to load</translation>
    </message>
    <message>
        <source>playlists are not played</source>
        <translation>playlists are not played</translation>
    </message>
    <message>
        <source>loading was stopped</source>
        <translation>loading was stopped</translation>
    </message>
</context>
<context>
    <name>lmvo::MusicPoll</name>
    <message>
        <source>The background music has stopped: none of its files can be played (%1)</source>
        <translation>The background music has stopped: none of its files can be played (%1)</translation>
    </message>
</context>
<context>
    <name>lmvo::PictureError</name>
    <message>
        <source>文件已损坏，或不是图片</source>
        <translation>The file is damaged or is not a picture</translation>
    </message>
    <message>
        <source>文件已被删除</source>
        <translation>The file was removed</translation>
    </message>
    <message>
        <source>无法读取文件</source>
        <translation>The file cannot be read</translation>
    </message>
    <message>
        <source>这是文件夹或设备，不是文件</source>
        <translation>This is a folder or a device, not a file</translation>
    </message>
    <message>
        <source>不能显示这种类型的文件</source>
        <translation>Files of this type cannot be shown</translation>
    </message>
    <message>
        <source>不能显示这种图片</source>
        <translation>Pictures of this kind cannot be shown</translation>
    </message>
    <message>
        <source>图片太大，无法显示</source>
        <translation>The picture is too large to show</translation>
    </message>
    <message>
        <source>内存不足，无法显示图片</source>
        <translation>There is not enough memory to show the picture</translation>
    </message>
    <message>
        <source>图片太大或损坏过重，无法显示</source>
        <translation>The picture is too large or too damaged to show</translation>
    </message>
    <message>
        <source>图片的解码程序意外停止</source>
        <translation>The picture&apos;s decoder stopped</translation>
    </message>
    <message>
        <source>无法显示图片</source>
        <translation>The picture cannot be shown</translation>
    </message>
    <message>
        <source>文件已损坏，或不是 %1 图片</source>
        <translation>The file is damaged or is not a %1 picture</translation>
    </message>
    <message>
        <source>%1：&quot;%2&quot;（%3）</source>
        <translation>%1: &quot;%2&quot; (%3)</translation>
    </message>
    <message>
        <source>%1：&quot;%2&quot;</source>
        <translation>%1: &quot;%2&quot;</translation>
    </message>
</context>
<context>
    <name>lmvo::ShowStarter</name>
    <message>
        <source>找不到文件夹“%1”(%2)</source>
        <translation>The folder was not found: &quot;%1&quot; (%2)</translation>
    </message>
    <message>
        <source>“%1”不是文件夹(%2)</source>
        <translation>This is not a folder: &quot;%1&quot; (%2)</translation>
    </message>
    <message>
        <source>没有权限打开文件夹“%1”(%2)</source>
        <translation>You have no permission to open the folder: &quot;%1&quot; (%2)</translation>
    </message>
    <message>
        <source>无法读取文件夹“%1”(%2)</source>
        <translation>The folder cannot be read: &quot;%1&quot; (%2)</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>&apos;%1&apos; is not a valid integer value</translation>
    </message>
</context>
<context>
    <name>lmvo::SingleInstance</name>
    <message>
        <source>“Lumivo”已运行！</source>
        <translation>Lumivo is already running!</translation>
    </message>
</context>
<context>
    <name>lmvo::TTransitionView</name>
    <message>
        <source>The animation thread could not be started</source>
        <translation>The animation thread could not be started</translation>
    </message>
</context>
<context>
    <name>lmvo::Tfrm_lmvo</name>
    <message>
        <source>请注意</source>
        <translation>Please note</translation>
    </message>
    <message>
        <source>请选择图片所在的文件夹！</source>
        <translation>Please choose the folder of the pictures!</translation>
    </message>
    <message>
        <source>请选择背景音乐所在的文件夹！</source>
        <translation>Please choose the folder of the background music!</translation>
    </message>
    <message>
        <source>该文件夹下没有需要播放的JPG格式图片！</source>
        <translation>There are no pictures to show in this folder!</translation>
    </message>
    <message>
        <source>该文件夹下没有音乐文件！</source>
        <translation>There is no music in this folder!</translation>
    </message>
    <message>
        <source>放映使用的屏幕</source>
        <translation>The screen the show fills</translation>
    </message>
</context>
<context>
    <name>lmvo::Tfrm_slide</name>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
</context>
</TS>
