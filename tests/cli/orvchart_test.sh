#!/bin/sh
# orvchart as a user meets it: each subcommand's syntax, its exit codes and a
# few lines of each chart, in UTF-8 with LF line ends. The chart lines are
# the engine's worked examples and charts worked out by hand. With --json:
# pieces of the worked examples in the JSON, and every example of the JSON's
# documentation as orvchart prints it.
#
#   tests/cli/orvchart_test.sh PATH/TO/orvchart PATH/TO/docs/chart-json.md
set -u
orvchart=$1
docs=${2:-}
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# expect_exit CODE ARGS...: the command ends with CODE.
expect_exit() {
  want=$1
  shift
  "$orvchart" "$@" </dev/null >/dev/null 2>&1
  got=$?
  [ "$got" -eq "$want" ] || fail "orvchart $* ended with $got, not $want"
}

# expect_line N TEXT ARGS...: line N (1-based) of the output is TEXT.
expect_line() {
  n=$1
  want=$2
  shift 2
  got=$("$orvchart" "$@" </dev/null 2>/dev/null | sed -n "${n}p")
  [ "$got" = "$want" ] || fail "orvchart $*: line $n is '$got', not '$want'"
}

expect_exit 0 --help
expect_exit 2
expect_exit 2 nonsense
expect_exit 2 bazi 1984-02-04 12                      # no sex
expect_exit 2 bazi 1984-02-04 12 --male --female
expect_exit 2 bazi 1984-02-04 12 --male=1
expect_exit 1 bazi 2001-02-29 12 --male               # no such day
expect_exit 1 bazi 1984-02-04 24 --male               # no such hour
expect_exit 1 bazi 1984-01-30 12 --male --lunar --leap  # 1984 has no leap first month
expect_exit 2 liuyao 2024-05-01 10 1 1 1 1 1          # five lines
expect_exit 2 liuyao 2024-05-01 10 1 1 1 1 1 4        # no such line value
expect_exit 2 liuyao 2024-05-01 10 --time 1 1 1 1 1 1
expect_exit 2 qimen 2024-02-10 3 --ju 19
expect_exit 2 qimen 2024-02-10 3 --ju
expect_exit 2 liuren 2024-04-10 10 --noble=jia
expect_exit 2 liuren 2024-04-10 10 --shehai=deep
expect_exit 2 xuankong 10 子
expect_exit 2 xuankong 8 山

# The Four Pillars worked example.
expect_line 1 "男命：1984年2月4日" bazi 1984-02-04 12 --male
expect_line 2 "阴历：正月初三" bazi 1984-02-04 12 --male
# The same day entered as lunar 1984 正月初三.
expect_line 1 "男命：1984年2月4日" bazi 1984-1-3 12 --male --lunar
# 天风姤 (its first line an old yin) changing to 乾为天, on the 甲戌 day 1984-02-10.
expect_line 3 "四柱：甲子 丙寅 甲戌 庚午" liuyao 1984-02-10 12 1 1 1 1 1 2
expect_line 8 "　　　　　　　　　天风姤　　　　　　　乾为天" liuyao 1984-02-10 12 1 1 1 1 1 2
expect_line 14 "青龙　　　　　　世━　━辛丑父母×　　━━━甲子子孙" liuyao 1984-02-10 12 1 1 1 1 1 2
# 八运 子山午向 挨星替卦: the centre holds mountain 6, facing 2 and period 8.
expect_line 5 "│ ４４ │ ６２ │ ８９ │" xuankong 8 子 --tigua
expect_line 6 "│　６　│　８　│　１　│" xuankong 8 1 --tigua
# The Da Liu Ren header: the monthly general 戌 after 春分, 甲辰 xun void 寅卯.
expect_line 4 "月将：戌将甲辰旬寅卯空" liuren 2024-04-10 10 --noble jia-yang --shehai=depth
expect_line 5 "年命：庚午命戌年" liuren 2024-04-10 10 --birth 1990 --female
# Qimen: 正月初一 2024 at 03:00, a 甲辰 day after 立春: 下元, 阳遁二局 (立春 runs
# 八 五 二), or a forced 阴遁一局.
expect_line 4 "立春下元　阳遁二局" qimen 2024-02-10 3
expect_line 4 "立春下元　阴遁一局" qimen 2024-02-10 3 --flying --ju 10

# expect_json PIECE ARGS...: the JSON (one line) holds PIECE.
expect_json() {
  want=$1
  shift
  got=$("$orvchart" "$@" </dev/null 2>/dev/null)
  case "$got" in
    *"$want"*) ;;
    *) fail "orvchart $*: no '$want' in the JSON" ;;
  esac
}

# The Four Pillars worked example as data: its pillars, life palace, luck.
worked="bazi 1984-02-04 12 --male --json"
expect_json '"pillars":{"year":"癸亥","month":"乙丑","day":"戊辰","hour":"戊午"}' $worked
expect_json '"lifePalace":"戌"' $worked
expect_json '"luck":{"forward":false,"after":{"years":9,"months":8,"days":1}' $worked
expect_json '"spirits":["太极","红鸾","元辰"]' $worked
# A moment to the second: 立春 1984 begins at 23:18:44.29, so 23:18:44 lies
# before it and 23:18:45 after it.
expect_json '"current":"大寒"' bazi 1984-02-04 23:18:44 --male --json
expect_json '"current":"立春"' bazi 1984-02-04 23:18:45 --male --json
expect_json '"palaces":[{"palace":"坎","luoshu":1,"period":4,"mountain":9,"facing":7}' xuankong 8 子 --json
expect_exit 2 bazi 1984-02-04 23:18 --male            # minutes need --json
expect_exit 1 bazi 2001-02-29 12 --male --json        # no such day
expect_exit 1 bazi 1984-02-04 24 --male --json        # no such hour
expect_exit 2 bazi 1984-02-04 23:60 --male --json     # no such minute

# The birth moment: --minute, --place or --longitude/--zone, --mean-solar or
# --true-solar.
# expect_stderr TEXT ARGS...: standard error holds TEXT; expect_no_stderr
# TEXT ARGS...: it does not.
expect_stderr() {
  want=$1
  shift
  got=$("$orvchart" "$@" </dev/null 2>&1 >/dev/null)
  case $got in *"$want"*) ;; *) fail "orvchart $*: standard error lacks '$want' (it says '$got')" ;; esac
}
expect_no_stderr() {
  want=$1
  shift
  got=$("$orvchart" "$@" </dev/null 2>&1 >/dev/null)
  case $got in *"$want"*) fail "orvchart $*: standard error says '$want'" ;; esac
}
# expect_line_end N TEXT ARGS...: line N ends with TEXT.
expect_line_end() {
  n=$1
  want=$2
  shift 2
  got=$("$orvchart" "$@" </dev/null 2>/dev/null | sed -n "${n}p")
  case $got in *"$want") ;; *) fail "orvchart $*: line $n is '$got', it does not end with '$want'" ;; esac
}
# Urumqi (the list's 87.618°E), 1988-07-15 14:30 Beijing daylight time
# (UTC+9): 05:30 UTC; + 87.618 * 4 min (350.47 min) = 11:20:28 mean solar
# time; the equation of time, -5.9 min in mid-July, gives 11:14. Against
# 120°E: (87.618 - 120) * 4 = -129.53 min, -2:09.5. The chart is cast for
# 11:00, the 午 hour: a 辛 day's hours run 戊子 己丑 庚寅 辛卯 壬辰 癸巳 甲午,
# so the hour pillar (the fourth column of lines 5 and 6) is 甲午.
urumqi="bazi 1988-07-15 14 --minute 30 --place 乌鲁木齐 --true-solar --male"
# shellcheck disable=SC2086
expect_line 1 "真太阳时 1988-07-15 11:14（北京时间 14:30，夏令时 −1:00，乌鲁木齐 东经87.6°，经度差 −2:09.5，均时差 −5.9分）" $urumqi
# shellcheck disable=SC2086
expect_line 2 "男命：1988年7月15日" $urumqi
# shellcheck disable=SC2086
expect_line_end 5 "甲" $urumqi
# shellcheck disable=SC2086
expect_line_end 6 "午" $urumqi
# Uncorrected (no line above the chart), 14:00 is the 未 hour: 乙未.
expect_line_end 4 "乙" bazi 1988-07-15 14 --minute 30 --male
expect_line_end 5 "未" bazi 1988-07-15 14 --minute 30 --male
# Minutes count: 惊蛰 1924 begins at 04:12, so 04:30 lies in the 丁卯 month,
# while the whole hour 4 (04:00) lies in 丙寅.
expect_line 4 "　甲　  　丁　  　甲　  　丙" bazi 1924-03-06 4 --minute 30 --male
expect_line 4 "　甲　  　丙　  　甲　  　丙" bazi 1924-03-06 4 --male
# By longitude and zone: New York (74°W, UTC-5, daylight time in July),
# 2000-07-01 09:00 -> 13:00 UTC - 4:56 = 08:04 mean solar time.
expect_line 1 "平太阳时 2000-07-01 08:04（当地时间 09:00，时区 UTC−5，夏令时 −1:00，西经74.0°，经度差 +0:04.0）" \
  ziwei 2000-07-01 9 --longitude -74 --zone America/New_York --mean-solar --male
# Kashgar (75.989°E), 2000-03-10 00:20: 16:20 UTC + 5:03.96 = 21:23:57 of the
# 9th, by mean solar time; the chart is that of March 9.
expect_line 1 "平太阳时 2000-03-09 21:23（北京时间 00:20，喀什 东经76.0°，经度差 −2:56.0）" \
  bazi 2000-03-10 0 --minute 20 --place 喀什地区 --mean-solar --male
expect_line 2 "男命：2000年3月9日" bazi 2000-03-10 0 --minute 20 --place 喀什地区 --mean-solar --male
# No correction asked: no line, the chart as before.
expect_line 1 "男命：1988年7月15日" bazi 1988-07-15 14 --minute 30 --place 乌鲁木齐 --male
# With --json the line goes to standard error and the JSON is cast for the
# corrected moment to the second (11:20:28 by mean solar time).
expect_json '"hour":11,"minute":20,"second":28' bazi 1988-07-15 14 --minute 30 --place 乌鲁木齐 --mean-solar --male --json
expect_stderr "平太阳时 1988-07-15 11:20" bazi 1988-07-15 14 --minute 30 --place 乌鲁木齐 --mean-solar --male --json
# Bad moments: Chinese messages, exit 1.
expect_exit 1 bazi 1986-05-04 2 --minute 30 --place 上海 --true-solar --male
expect_stderr "1986年5月4日 2:30 这个时刻不存在：当天夏令时开始，时钟从2:00拨到3:00。请检查时间。" \
  bazi 1986-05-04 2 --minute 30 --place 上海 --true-solar --male
expect_exit 1 bazi 1986-09-14 1 --minute 30 --place 上海 --true-solar --male
expect_stderr "这个时刻出现两次" bazi 1986-09-14 1 --minute 30 --place 上海 --true-solar --male
expect_exit 0 bazi 1986-09-14 1 --minute 30 --place 上海 --true-solar --male --dst
expect_exit 0 bazi 1986-09-14 1 --minute 30 --place 上海 --true-solar --male --standard
expect_exit 1 bazi 1990-01-01 10 --place 火星 --true-solar --male
expect_stderr "未知的地点：火星" bazi 1990-01-01 10 --place 火星 --true-solar --male
expect_exit 1 bazi 1990-01-01 10 --longitude 180.5 --true-solar --male
expect_stderr "经度必须在 −180 到 180 之间。" bazi 1990-01-01 10 --longitude 180.5 --true-solar --male
expect_exit 1 bazi 1990-01-01 10 --longitude 100 --zone Mars/Olympus --mean-solar --male
expect_stderr "未知的时区：Mars/Olympus" bazi 1990-01-01 10 --longitude 100 --zone Mars/Olympus --mean-solar --male
expect_exit 1 bazi 1990-1-1 10 --lunar --place 上海 --mean-solar --male
expect_exit 2 bazi 1990-01-01 10 --place 上海 --mean-solar --true-solar --male
expect_exit 2 bazi 1990-01-01 10 --place 上海 --longitude 121 --mean-solar --male
expect_exit 2 bazi 1990-01-01 10 --true-solar --male
expect_exit 2 bazi 1990-01-01 10 --minute 60 --male
expect_exit 2 bazi 1990-01-01 10:30 --minute 30 --male --json
expect_exit 2 bazi 1990-01-01 10 --longitude east --mean-solar --male
expect_exit 2 xuankong 8 子 --minute 3
# Boundaries: 10:50 lies exactly 10 minutes before 午 begins at 11:00, 10:49
# eleven; 立春 1923 fell at 04:00:00, turning 癸丑 (the last month of a 壬
# year) into 甲寅 (the first of a 癸 year).
expect_stderr "时柱：巳时 / 午时" bazi 1990-06-10 10 --minute 50 --male
expect_no_stderr "时柱" bazi 1990-06-10 10 --minute 49 --male
expect_stderr "月柱：甲寅 / 癸丑" liuyao 1923-02-05 4 --minute 10 --time
expect_no_stderr "月柱" liuyao 1923-02-05 4 --minute 11 --time
expect_stderr "另一边的时刻：1923-02-05 03:59:59" qimen 1923-02-05 4 --minute 10

# Every example of docs/chart-json.md is what orvchart prints for it (the
# spaces and line breaks of the example's layout aside: no value holds one).
if [ -n "$docs" ]; then
  examples=$(sed -n 's/^<!-- example: \(.*\) -->$/\1/p' "$docs")
  [ -n "$examples" ] || fail "no examples in $docs"
  echo "$examples" | while IFS= read -r example; do
    want=$(awk -v mark="<!-- example: $example -->" '
      $0 == mark { found = 1; next }
      found && /^```json$/ { inside = 1; next }
      inside && /^```$/ { exit }
      inside { print }' "$docs" | tr -d ' \n')
    # shellcheck disable=SC2086
    got=$("$orvchart" $example --json </dev/null 2>/dev/null | tr -d ' \n')
    [ "$got" = "$want" ] || { echo "FAIL: docs example '$example' differs from orvchart's JSON" >&2; exit 1; }
  done || failures=$((failures + 1))
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "orvchart: all checks passed"
