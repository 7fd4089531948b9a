#!/usr/bin/env python3
"""Writes client/places_table.cpp, the built-in place list of the birth-time
correction, from packaged data (see README.md here for the sources and
their versions). Standard library only; the same inputs give the same file.

  tools/places/make_places.py --echarts DIR [--cldr DIR] [--zoneinfo DIR]
                              [--output FILE]

DIR of --echarts is the unpacked npm package echarts@4.9.0 (its package/
directory); --cldr the CLDR data root (Debian's unicode-cldr-core:
/usr/share/unicode/cldr); --zoneinfo the tz database (Debian's tzdata:
/usr/share/zoneinfo).
"""

import argparse
import json
import os
import re
import sys
import xml.etree.ElementTree as ET

# The first two digits of a mainland administrative code: the province.
PROVINCES = {
    "11": "北京", "12": "天津", "13": "河北", "14": "山西", "15": "内蒙古",
    "21": "辽宁", "22": "吉林", "23": "黑龙江", "31": "上海", "32": "江苏",
    "33": "浙江", "34": "安徽", "35": "福建", "36": "江西", "37": "山东",
    "41": "河南", "42": "湖北", "43": "湖南", "44": "广东", "45": "广西",
    "46": "海南", "50": "重庆", "51": "四川", "52": "贵州", "53": "云南",
    "54": "西藏", "61": "陕西", "62": "甘肃", "63": "青海", "64": "宁夏",
    "65": "新疆", "71": "台湾", "81": "香港", "82": "澳门",
}
# Zones of the special administrative regions; the mainland keeps China's
# standard time everywhere (Xinjiang and Tibet too).
SPECIAL_ZONES = {"81": "Asia/Hong_Kong", "82": "Asia/Macau"}
# Zones whose places come from the Chinese data, left out of the world list.
CHINESE_ZONES = {"Asia/Shanghai", "Asia/Urumqi", "Asia/Hong_Kong", "Asia/Macau", "Asia/Taipei"}
# The suffixes users leave off, longest first.
SUFFIXES = ["特别行政区", "自治州", "地区", "市", "县", "盟"]


def short_name(name):
    for suffix in SUFFIXES:
        if name.endswith(suffix) and len(name) > len(suffix) + 1:
            return name[: -len(suffix)]
    return name


def decode_ring(encoded, offsets):
    """ECharts' compressed coordinates (UTF8Encoding): each coordinate is
    the char code - 64, zigzag decoded, added to the previous value (the
    first to the ring's encodeOffsets), in 1/1024 degree."""
    prev_x, prev_y = offsets
    points = []
    for i in range(0, len(encoded) - 1, 2):
        x = ord(encoded[i]) - 64
        y = ord(encoded[i + 1]) - 64
        x = (x >> 1) ^ (-(x & 1))
        y = (y >> 1) ^ (-(y & 1))
        x += prev_x
        y += prev_y
        prev_x, prev_y = x, y
        points.append((x / 1024.0, y / 1024.0))
    return points


def ring_area_centroid(points):
    """The signed area and centroid of a closed ring (shoelace formula)."""
    area = cx = cy = 0.0
    n = len(points)
    for i in range(n):
        x0, y0 = points[i]
        x1, y1 = points[(i + 1) % n]
        cross = x0 * y1 - x1 * y0
        area += cross
        cx += (x0 + x1) * cross
        cy += (y0 + y1) * cross
    area /= 2.0
    if area == 0:
        return 0.0, points[0]
    return area, (cx / (6.0 * area), cy / (6.0 * area))


def largest_polygon_centroid(geometry):
    """The centroid of the outer ring of a feature's largest polygon."""
    if geometry["type"] == "Polygon":
        polygons = [(geometry["coordinates"], geometry["encodeOffsets"])]
    else:
        polygons = list(zip(geometry["coordinates"], geometry["encodeOffsets"]))
    best = None
    for rings, offsets in polygons:
        outer = decode_ring(rings[0], offsets[0])
        area, centroid = ring_area_centroid(outer)
        if best is None or abs(area) > best[0]:
            best = (abs(area), centroid)
    return best[1]


def chinese_places(echarts):
    places = []
    with open(os.path.join(echarts, "map/json/china-cities.json"), encoding="utf-8") as f:
        cities = json.load(f)
    for feature in cities["features"]:
        code = feature["id"][:2]
        if code == "71":  # Taiwan as a whole: its cities come from its own map
            continue
        props = feature["properties"]
        lon, lat = props["cp"]
        zone = SPECIAL_ZONES.get(code, "Asia/Shanghai")
        places.append((short_name(props["name"]), PROVINCES[code], lon, lat, zone))
    with open(os.path.join(echarts, "map/json/province/taiwan.json"), encoding="utf-8") as f:
        taiwan = json.load(f)
    assert taiwan.get("UTF8Encoding"), "taiwan.json is expected in ECharts' encoded form"
    names = [feature["properties"]["name"] for feature in taiwan["features"]]
    shorts = [short_name(n) for n in names]
    for feature, name, short in zip(taiwan["features"], names, shorts):
        if not re.search("[市县]$", name):  # islands without a county of their own
            continue
        # 新竹市 and 新竹县: the city keeps the short name, the county its full one.
        if shorts.count(short) > 1 and not name.endswith("市"):
            short = name
        lon, lat = largest_polygon_centroid(feature["geometry"])
        places.append((short, "台湾", lon, lat, "Asia/Taipei"))
    return places


def iso6709(text):
    """"+3114+12128" or "+311402+1212802": latitude and longitude."""
    m = re.fullmatch(r"([+-])(\d{2})(\d{2})(\d{2})?([+-])(\d{3})(\d{2})(\d{2})?", text)
    if not m:
        raise ValueError("bad coordinates " + text)
    lat = int(m.group(2)) + int(m.group(3)) / 60 + int(m.group(4) or 0) / 3600
    lon = int(m.group(6)) + int(m.group(7)) / 60 + int(m.group(8) or 0) / 3600
    return (-lon if m.group(5) == "-" else lon), (-lat if m.group(1) == "-" else lat)


def world_places(cldr, zoneinfo):
    root = ET.parse(os.path.join(cldr, "common/main/zh.xml")).getroot()
    cities = {}
    for zone in root.iter("zone"):
        city = zone.find("exemplarCity")
        if city is not None and city.get("alt") is None and city.text:
            cities[zone.get("type")] = city.text
    countries = {}
    for territory in root.iter("territory"):
        if territory.get("alt") is None and territory.text:
            countries.setdefault(territory.get("type"), territory.text)
    # CLDR names zones by their old identifiers (Asia/Calcutta): the links
    # of the tz database lead from the current ones to them.
    old_names = {}
    with open(os.path.join(zoneinfo, "tzdata.zi"), encoding="utf-8") as f:
        for line in f:
            if line.startswith("L "):
                _, target, alias = line.split()
                old_names.setdefault(target, []).append(alias)
    places = []
    with open(os.path.join(zoneinfo, "zone.tab"), encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            fields = line.rstrip("\n").split("\t")
            country, coordinates, zone = fields[0], fields[1], fields[2]
            if zone in CHINESE_ZONES or zone.startswith("Antarctica/"):
                continue
            name = cities.get(zone)
            for alias in sorted(old_names.get(zone, [])):
                name = name or cities.get(alias)
            if not name:
                continue
            lon, lat = iso6709(coordinates)
            places.append((name, countries.get(country, ""), lon, lat, zone))
    return places


def merge(chinese, world):
    taken = {}
    for place in chinese:
        if place[0] in taken:
            raise SystemExit("two Chinese places named " + place[0])
        taken[place[0]] = place
    for name, region, lon, lat, zone in world:
        if name in taken:
            # A Chinese city keeps its name; the place abroad gets its country.
            name = name + "（" + region + "）"
            if name in taken:
                continue
        taken[name] = (name, region, lon, lat, zone)
    return [taken[n] for n in sorted(taken, key=lambda n: n.encode("utf-8"))]


def cpp_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def write_table(places, output, sources):
    lines = [
        "// Generated by tools/places/make_places.py from " + sources + ".",
        "// Do not edit: run the tool again (tools/places/README.md).",
        '#include "time_correction.h"',
        "",
        "#include <cstddef>",
        "",
        "namespace timefix::detail {",
        "",
        "extern const Place kPlaces[];",
        "extern const std::size_t kPlaceCount;",
        "",
        "// Name, region, longitude, latitude (degrees, east and north positive), zone;",
        "// sorted by name.",
        "const Place kPlaces[] = {",
    ]
    for name, region, lon, lat, zone in places:
        lines.append("    {%s, %s, %.3f, %.3f, %s}," % (cpp_string(name), cpp_string(region),
                                                    lon, lat, cpp_string(zone)))
    lines += [
        "};",
        "const std::size_t kPlaceCount = sizeof kPlaces / sizeof kPlaces[0];",
        "",
        "}  // namespace timefix::detail",
        "",
    ]
    with open(output, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--echarts", required=True)
    parser.add_argument("--cldr", default="/usr/share/unicode/cldr")
    parser.add_argument("--zoneinfo", default="/usr/share/zoneinfo")
    parser.add_argument("--output", default=os.path.join(here, "../../client/places_table.cpp"))
    args = parser.parse_args()
    with open(os.path.join(args.echarts, "package.json"), encoding="utf-8") as f:
        echarts_version = json.load(f)["version"]
    with open(os.path.join(args.zoneinfo, "tzdata.zi"), encoding="utf-8") as f:
        tz_version = f.readline().split()[-1]
    with open(os.path.join(args.cldr, "common/dtd/ldml.dtd"), encoding="utf-8") as f:
        found = re.search(r'cldrVersion CDATA #FIXED "([^"]+)"', f.read())
    cldr_version = found.group(1) if found else "?"
    sources = "echarts %s, tzdata %s and CLDR %s" % (echarts_version, tz_version, cldr_version)
    places = merge(chinese_places(args.echarts), world_places(args.cldr, args.zoneinfo))
    write_table(places, args.output, sources)
    print("%d places written to %s" % (len(places), args.output), file=sys.stderr)


if __name__ == "__main__":
    main()
