/* Prints the Four Pillars chart of a man born on 1984-02-04 at 12:00, as the
 * engine writes it: GBK text with CR LF line ends.
 *
 *   cmake -S tests/consumer -B consumer && cmake --build consumer
 *   cc consumer.c $(pkg-config --cflags --libs orv) -o consumer */
#include <orv.h>
#include <stdio.h>

int main(void) {
  static char chart[ORV_CHART_BUFFER_SIZE];
  const int32_t result = StrBazi(1, 0, 1, 1984, 2, 4, 12, chart);
  if (result != 0) {
    fprintf(stderr, "consumer: StrBazi answered %d\n", (int)result);
    return 1;
  }
  fputs(chart, stdout);
  return 0;
}
