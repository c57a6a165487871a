#pragma once
// Texts the folder repair writes, as code page 936 bytes. "%s" stands for the
// folder path, which is always passed as an argument, never as the format.

// "\r\n"
inline constexpr char MsgLineBreak[] = "\r\n";
// "传入参数无效\r\n"
inline constexpr char MsgInvalidArgument[] = "\xb4\xab\xc8\xeb\xb2\xce\xca\xfd\xce\xde\xd0\xa7\r\n";
// "系统不存在"%s"文件!\r\n"
inline constexpr char MsgPathMissing[] = "\xcf\xb5\xcd\xb3\xb2\xbb\xb4\xe6\xd4\xda\"%s\"\xce\xc4\xbc\xfe!\r\n";
// "修复"%s"失败!\r\n"
inline constexpr char MsgRepairFailed[] = "\xd0\xde\xb8\xb4\"%s\"\xca\xa7\xb0\xdc!\r\n";
// "修复"%s"成功!\r\n"
inline constexpr char MsgRepairSucceeded[] = "\xd0\xde\xb8\xb4\"%s\"\xb3\xc9\xb9\xa6!\r\n";
// "->>文件夹%s"
inline constexpr char MsgDesktopIniFolder[] = "->>\xce\xc4\xbc\xfe\xbc\xd0%s";
// " 缺失desktop.ini文件,可能会影响显示，如问题仍未修复，请从其他机器拷贝一份!\r\n<<-\r\n"
inline constexpr char MsgDesktopIniMissing[] = " \xc8\xb1\xca\xa7" "desktop.ini\xce\xc4\xbc\xfe,\xbf\xc9\xc4\xdc\xbb\xe1\xd3\xb0\xcf\xec\xcf\xd4\xca\xbe\xa3\xac\xc8\xe7\xce\xca\xcc\xe2\xc8\xd4\xce\xb4\xd0\xde\xb8\xb4\xa3\xac\xc7\xeb\xb4\xd3\xc6\xe4\xcb\xfb\xbb\xfa\xc6\xf7\xbf\xbd\xb1\xb4\xd2\xbb\xb7\xdd!\r\n<<-\r\n";
