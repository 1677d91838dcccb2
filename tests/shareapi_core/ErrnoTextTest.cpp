#include "shareapi/ErrnoText.h"

#include <gtest/gtest.h>

#include "platform/CodePage.h"

using linkhaul::errnoText;
using linkhaul::platform::utf8ToAnsi;

TEST(ErrnoText, KnownRowsAreAnsi) {
    const std::pair<int, const char*> rows[] = {
        {0, "成功"},
        {-2, "用户不存在,请刷新页面后重试"},
        {-4, "登录信息有误，请重新登录试试"},
        {-9, "访问密码错误"},
        {-12, "访问密码错误"},
        {-20, "下载验证码错误"},
        {-62, "访问验证码错误"},
        {-998, "自定义错误代码,JSON解析失败"},
        {5, "下载频繁，需输入验证码"},
        {6, "下载频繁，需输入验证码"},
        {9, "下载频繁，需输入验证码"},
        {110, "分享次数超出限制，可以到[我的分享]中查看已分享的文件链接"},
        {115, "该文件禁止分享"},
    };
    for (const auto& [number, text] : rows) {
        EXPECT_EQ(errnoText(number), utf8ToAnsi(text)) << number;
    }
    EXPECT_EQ(errnoText(-20),
              std::string("\xCF\xC2\xD4\xD8\xD1\xE9\xD6\xA4\xC2\xEB\xB4\xED\xCE\xF3"));
}

TEST(ErrnoText, UnknownNumbersNameThemselves) {
    for (const int number : {-13, -18, -19, 1, 7, 8, 113, -1000, 2147483647, -2147483647 - 1}) {
        EXPECT_EQ(errnoText(number), utf8ToAnsi("未知错误ID:") + std::to_string(number));
    }
}
