// Shared name tables. Every table is an array of fixed-width, zero-padded GBK
// slots; an entry's text is its slot up to the first zero byte. The tables
// are constant data known while compiling (other tables are checked and
// derived from them then); they are compiled to GBK, so a name too long for
// its slot does not compile. Indexes are not bounds-checked here: the text
// builders in text.h are.
#pragma once

namespace orv {

// SymbolNames: by symbol code; 0 is one full-width space.
// LunarMonthNames: 0 the leap mark, 1-12 the months. LunarDayNames: 1-30 (0
// "none"). SolarTermNames: by term number 1-24. TenGodLongNames and
// TenGodShortNames: by ten-god number 0-10. GrowthLongNames and
// GrowthShortNames: by stage ordinal 1-12. NayinNames: by
// (cycle number - 1) / 2. RelativeFullNames and RelativeShortNames: below.

inline constexpr char SymbolNames[194][7] = {
    "　",                                                                        // 0
    "甲", "乙", "丙", "丁", "戊", "己", "庚", "辛", "壬", "癸",                  // 1-10
    "子", "丑", "寅", "卯", "辰", "巳", "午", "未", "申", "酉", "戌", "亥",      // 11-22
    "命宫", "兄弟", "夫妻", "子女", "财帛", "疾厄", "迁移", "奴仆", "官禄",      // 23-31
    "田宅", "福德", "父母", "身",                                                // 32-35
    "紫微", "天机", "太阳", "武曲", "天同", "廉贞", "天府", "太阴", "贪狼",      // 36-44
    "巨门", "天相", "天梁", "七杀", "破军", "文昌", "文曲", "左辅", "右弼",      // 45-53
    "火星", "铃星", "地劫", "地空", "禄存", "天马", "擎羊", "陀罗", "天魁",      // 54-62
    "天钺", "禄", "权", "科", "忌", "台辅", "封诰", "天刑", "天姚",              // 63-71
    "解神", "天巫", "天月", "阴煞", "三台", "八座", "恩光", "天贵", "天官",      // 72-80
    "天福", "天哭", "天虚", "龙池", "凤阁", "红鸾", "天喜", "孤辰", "寡宿",      // 81-89
    "蜚廉", "破碎", "天才", "天寿", "截正", "截傍", "旬正", "旬傍", "天伤",      // 90-98
    "天使", "天厨", "天空", "天德", "年解", "月德", "博士", "力士", "青龙",      // 99-107
    "小耗", "将军", "奏书", "飞廉", "喜神", "病符", "大耗", "伏兵", "官府",      // 108-116
    "将星", "攀鞍", "岁驿", "息神", "华盖", "劫煞", "灾煞", "天煞", "指背",      // 117-125
    "咸池", "月煞", "亡神", "岁建", "晦气", "丧门", "贯索", "官符", "小耗",      // 126-134
    "大耗", "龙德", "白虎", "天德", "吊客", "病符",                              // 135-140
    "长生", "沐浴", "冠带", "临官", "帝旺", "衰", "病", "死", "墓", "绝", "胎",  // 141-151
    "养",                                                                        // 152
    "贵", "蛇", "朱", "合", "勾", "青", "空", "虎", "常", "玄", "阴", "后",      // 153-164
    "符", "地", "天",                                                            // 165-167
    "休", "生", "伤", "杜", "景", "死", "惊", "开",                              // 168-175
    "蓬", "芮", "冲", "辅", "禽", "心", "柱", "任", "英",                        // 176-184
    "坎", "坤", "震", "巽", "中", "乾", "兑", "艮", "离",                        // 185-193
};

inline constexpr char LunarMonthNames[13][3] = {
    "闰", "正", "二", "三", "四", "五", "六",
    "七", "八", "九", "十", "冬", "腊"};

inline constexpr char LunarDayNames[31][5] = {
    "无",   "初一", "初二", "初三", "初四", "初五", "初六", "初七", "初八", "初九", "初十",
    "十一", "十二", "十三", "十四", "十五", "十六", "十七", "十八", "十九", "二十",
    "廿一", "廿二", "廿三", "廿四", "廿五", "廿六", "廿七", "廿八", "廿九", "三十"};

inline constexpr char SolarTermNames[25][5] = {
    "",     "立春", "雨水", "惊蛰", "春分", "清明", "谷雨", "立夏", "小满",
    "芒种", "夏至", "小暑", "大暑", "立秋", "处暑", "白露", "秋分", "寒露",
    "霜降", "立冬", "小雪", "大雪", "冬至", "小寒", "大寒"};

inline constexpr char TenGodLongNames[11][5] = {
    "　　", "正财", "偏财", "伤官", "食神", "劫财",
    "比肩", "正印", "偏印", "正官", "七杀"};
inline constexpr char TenGodShortNames[11][3] = {
    "　", "才", "财", "伤", "食", "劫",
    "比", "印", "枭", "官", "杀"};

inline constexpr char GrowthLongNames[13][5] = {
    "",     "长生", "沐浴", "冠带", "临官", "帝旺", "衰",
    "病",   "死",   "墓",   "绝",   "胎",   "养"};
inline constexpr char GrowthShortNames[13][3] = {
    "",   "长", "沐", "冠", "临", "帝", "衰",
    "病", "死", "墓", "绝", "胎", "养"};

inline constexpr char NayinNames[30][7] = {
    "海中金", "炉中火", "大林木", "路旁土", "剑锋金", "山头火", "涧下水", "城头土",
    "白腊金", "杨柳木", "泉中水", "屋上土", "霹雳火", "松柏木", "常流水", "沙中金",
    "山下火", "平地木", "壁上土", "金箔金", "佛灯火", "天河水", "大驿土", "钗钏金",
    "桑松木", "大溪水", "沙中土", "天上火", "石榴木", "大海水"};

// The six relatives by the Relation of a palace's (or a day stem's)
// element to a line's (or a branch's), stored at relation + 2: 妻财 子孙 兄弟
// 父母 官鬼, short 财 子 兄 父 官.
inline constexpr char RelativeFullNames[5][5] = {"妻财", "子孙", "兄弟", "父母", "官鬼"};
inline constexpr char RelativeShortNames[5][3] = {"财", "子", "兄", "父", "官"};

}  // namespace orv
