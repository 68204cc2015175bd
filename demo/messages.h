// messages.h - every text the demonstration writes, as the GBK (code page 936)
// bytes it writes them in. Each carries the readable text beside it.
#ifndef SLOT_LIST_DEMO_MESSAGES_H
#define SLOT_LIST_DEMO_MESSAGES_H

// "初始化链表失败, %s\r\n"
inline constexpr char MsgCreateFailed[] =
    "\xb3\xf5\xca\xbc\xbb\xaf\xc1\xb4\xb1\xed\xca\xa7\xb0\xdc, %s\r\n";

// "插入元素到链表成功!\r\n"
inline constexpr char MsgInsertOk[] =
    "\xb2\xe5\xc8\xeb\xd4\xaa\xcb\xd8\xb5\xbd\xc1\xb4\xb1\xed\xb3\xc9\xb9\xa6!\r\n";

// "插入元素到链表失败 %s\r\n"
inline constexpr char MsgInsertFailed[] =
    "\xb2\xe5\xc8\xeb\xd4\xaa\xcb\xd8\xb5\xbd\xc1\xb4\xb1\xed\xca\xa7\xb0\xdc %s\r\n";

// "删除元素成功!\r\n"
inline constexpr char MsgDeleteOk[] = "\xc9\xbe\xb3\xfd\xd4\xaa\xcb\xd8\xb3\xc9\xb9\xa6!\r\n";

// "删除元素失败 %s\r\n"
inline constexpr char MsgDeleteFailed[] = "\xc9\xbe\xb3\xfd\xd4\xaa\xcb\xd8\xca\xa7\xb0\xdc %s\r\n";

// "未能够找到数据\r\n"
inline constexpr char MsgNotFound[] =
    "\xce\xb4\xc4\xdc\xb9\xbb\xd5\xd2\xb5\xbd\xca\xfd\xbe\xdd\r\n";

// "找到该数据指针是:%p 数据是:%d\r\n"
inline constexpr char MsgFound[] = "\xd5\xd2\xb5\xbd\xb8\xc3\xca\xfd\xbe\xdd\xd6\xb8\xd5\xeb\xca"
                                   "\xc7:%p \xca\xfd\xbe\xdd\xca\xc7:%d\r\n";

// "遍历结束\r\n"
inline constexpr char MsgTraverseEnd[] = "\xb1\xe9\xc0\xfa\xbd\xe1\xca\xf8\r\n";

// "写入输出失败, %s\r\n", on standard error when standard output failed.
inline constexpr char MsgWriteFailed[] = "\xd0\xb4\xc8\xeb\xca\xe4\xb3\xf6\xca\xa7\xb0\xdc, %s\r\n";

// "请按任意键继续. . ."
inline constexpr char MsgPressAnyKey[] =
    "\xc7\xeb\xb0\xb4\xc8\xce\xd2\xe2\xbc\xfc\xbc\xcc\xd0\xf8. . .";

// One visited element, and the line break after every fourth position.
inline constexpr char MsgElement[] = "%s\t";
inline constexpr char MsgLineBreak[] = "\r\n";

#endif // SLOT_LIST_DEMO_MESSAGES_H
