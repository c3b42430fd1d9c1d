# Turns the result lines of bench_floors and bench_card into the Markdown
# tables of bench/results/latest.md.
BEGIN { FS = "\t" }
$1 == "floor" { fmed[$2] = $3; fp99[$2] = $4; fn[$2] = $5; forder[++nf] = $2 }
$1 == "card" { for (i = 3; i <= NF; i++) card[$2, i - 2] = $i; seen[$2] = 1 }
$1 == "size" { size[$2] = $3 }

function ratio(v, base) { return (base > 0 && v != "") ? sprintf("%.2f", v / base) : "n/a" }
function verdict(ok) { return ok ? "met" : "MISSED" }
function kib(b) { return sprintf("%.0f KiB", b / 1024) }

END {
  print "## Floors (round trip, µs)"
  print ""
  print "| path | median | p99 | samples |"
  print "|---|---:|---:|---:|"
  for (i = 1; i <= nf; i++) {
    k = forder[i]
    printf "| %s | %s | %s | %s |\n", k, fmed[k], fp99[k], fn[k]
  }
  base = fmed["composite"]
  basep = fp99["composite"]
  print ""
  print "## The card beside the composite floor"
  print ""
  if (!("get" in seen)) {
    print "No card figures (the card did not answer through the front end)."
  } else {
    print "| figure | median µs | p99 µs | x floor (median) | x floor (p99) | samples | refused | engine calls/request |"
    print "|---|---:|---:|---:|---:|---:|---:|---:|"
    printf "| composite floor | %s | %s | 1.00 | 1.00 | %s | | |\n", base, basep, fn["composite"]
    for (j = 1; j <= 2; j++) {
      k = j == 1 ? "get" : "set"
      printf "| %s | %s | %s | %s | %s | %s | %s | %s |\n", toupper(k) " round trip", card[k, 1], card[k, 2],
        ratio(card[k, 1], base), ratio(card[k, 2], basep), card[k, 3], card[k, 4], card[k, 5]
    }
    print ""
    print "| outstanding requests | requests/s | refused or lost |"
    print "|---:|---:|---:|"
    for (j = 1; j <= 3; j++) {
      k = "rps" (j == 1 ? 1 : (j == 2 ? 4 : 16))
      if (k in seen) printf "| %s | %s | %s |\n", substr(k, 4), card[k, 1], card[k, 2]
    }
    print ""
    if ("walk" in seen) {
      printf "Full walk of every object: %s ms, %s cells (%s not served), %s engine calls, %s bytes out, %s bytes in.\n", \
        card["walk", 1], card["walk", 2], card["walk", 6], card["walk", 3], card["walk", 4], card["walk", 5]
      print ""
    }
  }
  print "## Memory, CPU and size"
  print ""
  print "| figure | value |"
  print "|---|---:|"
  if ("rss" in seen) {
    printf "| main resident after start | %s KiB |\n", card["rss", 1]
    printf "| main resident after %s requests | %s KiB |\n", card["rss", 3], card["rss", 2]
  }
  if ("hwm" in seen) printf "| main peak resident | %s KiB |\n", card["hwm", 1]
  if ("idlecpu" in seen) printf "| main idle CPU over %s s | %s %% of one core |\n", card["idlecpu", 2], card["idlecpu", 1]
  if ("native" in size) printf "| stripped main, host | %s |\n", kib(size["native"])
  if ("armhf" in size) printf "| stripped main, armhf | %s |\n", kib(size["armhf"])
  print ""
  print "## Targets"
  print ""
  print "| target | measured | result |"
  print "|---|---:|---|"
  if ("get" in seen && base > 0) {
    r = card["get", 1] / base
    printf "| GET median at most 2x the composite floor | %.2fx | %s |\n", r, verdict(r <= 2)
    c = card["get", 5]
    if (c != "n/a") printf "| at most one engine call per property read | %s | %s |\n", c, verdict(c <= 1)
  }
  if ("walk" in seen) printf "| full walk under 1 s | %s ms | %s |\n", card["walk", 1], verdict(card["walk", 1] < 1000)
  if ("rss" in seen && card["rss", 1] > 0) {
    g = 100 * (card["rss", 2] - card["rss", 1]) / card["rss", 1]
    printf "| resident growth after the soak at most 1 %% | %+.2f %% | %s |\n", g, verdict(g <= 1)
    printf "| resident at most 8 MiB | %s KiB | %s |\n", card["rss", 2], verdict(card["rss", 2] <= 8192)
  }
  if ("idlecpu" in seen) printf "| idle CPU below 1 %% | %s %% | %s |\n", card["idlecpu", 1], verdict(card["idlecpu", 1] < 1)
}
