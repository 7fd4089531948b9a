#pragma once
// The six chart commands of the record editor, one per divination method.

enum class ChartKind { Bazi, Ziwei, Liuyao, Qimen, Liuren, Xuankong };
