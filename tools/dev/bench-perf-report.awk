# Turns the result lines of bench_floors and bench_card into the Markdown
# tables of bench/results/latest.md.
BEGIN { FS = "\t" }
$1 == "floor" { fmed[$2] = $3; fp99[$2] = $4; fn[$2] = $5; forder[++nf] = $2 }
$1 == "floorrps" { frps[$2] = $3; flost[$2] = $4 }
$1 == "floorcpu" { fcpu = $3; fcpun = $4 }
$1 == "card" { for (i = 3; i <= NF; i++) card[$2, i - 2] = $i; seen[$2] = 1 }
$1 == "size" { size[$2] = $3 }
$1 == "upgrade" { upgrade[$2] = $3 }

function ratio(v, base) { return (base > 0 && v != "") ? sprintf("%.2f", v / base) : "n/a" }
function verdict(ok) { return ok ? "met" : "MISSED" }
# miss(ok, text): records by how much a target was missed, for the note.
function miss(ok, text) { if (!ok) missed[++nmissed] = text; return verdict(ok) }
function kib(b) { return sprintf("%.0f KiB", b / 1024) }
function walkrow(k, label) {
  printf "| %s | %s | %s | %s | %s | %s | %s | %s |\n", label, card[k, 1], card[k, 2], card[k, 7],
    card[k, 3], card[k, 4], card[k, 5], card[k, 6]
}

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
    print "| outstanding requests | card requests/s | composite floor requests/s | card / floor | card refused or lost | floor lost |"
    print "|---:|---:|---:|---:|---:|---:|"
    for (j = 1; j <= 3; j++) {
      d = j == 1 ? 1 : (j == 2 ? 4 : 16)
      k = "rps" d
      if (k in seen)
        printf "| %s | %s | %s | %s | %s | %s |\n", d, card[k, 1], frps[d], ratio(card[k, 1], frps[d]),
          card[k, 2], flost[d]
    }
    print ""
    if ("cpu" in seen) {
      print "| CPU time per request, 16 outstanding | µs | requests |"
      print "|---|---:|---:|"
      printf "| main | %s | %s |\n", card["cpu", 1], card["cpu", 2]
      printf "| composite floor's middle process (the card's place) | %s | %s |\n", fcpu, fcpun
      printf "| main / floor | %s | |\n", ratio(card["cpu", 1], fcpu)
      print ""
    }
    if ("walk" in seen) {
      print "Walks of every cell of the registered objects (each the median of three runs, taking turns):"
      print ""
      print "| walk | ms | cells | requests | engine calls | bytes out | bytes in | not served |"
      print "|---|---:|---:|---:|---:|---:|---:|---:|"
      walkrow("walk", "one cell per request")
      if ("bulkwalk" in seen) {
        walkrow("bulkwalk", "as many cells as fit in a datagram")
        printf "| bulk speed-up | %s x | | | | | | |\n", ratio(card["walk", 1], card["bulkwalk", 1])
      }
      print ""
    }
    if ("startup" in seen) {
      print "| main's start | ms |"
      print "|---|---:|"
      printf "| to its first ICSC answer | %s |\n", card["startup", 1]
      printf "| to the state ACTIVE (self tests and lamp test, one-second ticks) | %s |\n", card["startup", 2]
      print ""
    }
  }
  if ("ready" in upgrade) {
    print "## Software download (docs/upgrade.md)"
    print ""
    print "| figure | value |"
    print "|---|---:|"
    printf "| bundle of the card's programs (stripped, gzip'd) | %s |\n", kib(upgrade["bundle"])
    printf "| \"Dld Start Download\" to READY (fetch, unpack, verify; one-second ticks) | %s s |\n", upgrade["ready"]
    printf "| \"Dld commit load\" to ACTIVE on the new load (reboot, self tests) | %s s |\n", upgrade["active"]
    print ""
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
  if ("idlecpu" in seen) printf "| main idle CPU over %s s, no client polling | %s %% of one core |\n", card["idlecpu", 2], card["idlecpu", 1]
  if ("native" in size) printf "| stripped main, host | %s |\n", kib(size["native"])
  if ("armhf" in size) printf "| stripped main, armhf | %s |\n", kib(size["armhf"])
  print ""
  print "## Targets"
  print ""
  print "| target | measured | result |"
  print "|---|---:|---|"
  if ("get" in seen && base > 0) {
    r = card["get", 1] / base
    printf "| GET median at most 2x the composite floor | %.2fx | %s |\n", r,
      miss(r <= 2, sprintf("GET median %.2fx the composite floor, %.2fx over 2x", r, r - 2))
    c = card["get", 5]
    if (c != "n/a") printf "| at most one engine call per property read | %s | %s |\n", c,
      miss(c <= 1, sprintf("%s engine calls per read, %.2f over 1", c, c - 1))
  }
  if ("cpu" in seen && fcpu > 0) {
    r = card["cpu", 1] / fcpu
    printf "| main's CPU per request at most 2x the floor's middle process | %.2fx | %s |\n", r,
      miss(r <= 2, sprintf("main's CPU per request %.2fx the floor's, %.2fx over 2x", r, r - 2))
  }
  if ("walk" in seen) printf "| full walk, one cell per request, under 1 s | %s ms | %s |\n", card["walk", 1],
    miss(card["walk", 1] < 1000, sprintf("one-cell walk %s ms, %.0f ms over 1 s", card["walk", 1], card["walk", 1] - 1000))
  if ("walk" in seen && "bulkwalk" in seen && card["bulkwalk", 1] > 0) {
    r = card["walk", 1] / card["bulkwalk", 1]
    printf "| bulk walk at least 3x faster than one cell per request | %.2fx | %s |\n", r,
      miss(r >= 3, sprintf("bulk walk only %.2fx faster, %.2fx short of 3x", r, 3 - r))
  }
  if ("startup" in seen) {
    f = card["startup", 1]
    printf "| first ICSC answer within 1 s of main's start | %s ms | %s |\n", f,
      miss(f >= 0 && f <= 1000, f < 0 ? "no ICSC answer after main's start" : sprintf("first answer after %s ms, %.0f ms late", f, f - 1000))
  }
  if ("rss" in seen && card["rss", 1] > 0) {
    g = 100 * (card["rss", 2] - card["rss", 1]) / card["rss", 1]
    printf "| resident growth after the soak at most 1 %% | %+.2f %% | %s |\n", g,
      miss(g <= 1, sprintf("resident grew %.2f %%, %.2f points over 1 %%", g, g - 1))
    printf "| resident at most 8 MiB | %s KiB | %s |\n", card["rss", 2],
      miss(card["rss", 2] <= 8192, sprintf("resident %s KiB, %d KiB (%.0f %%) over 8 MiB", card["rss", 2],
        card["rss", 2] - 8192, 100 * (card["rss", 2] - 8192) / 8192))
  }
  if ("idlecpu" in seen) printf "| idle CPU below 0.05 %% of a core | %s %% | %s |\n", card["idlecpu", 1],
    miss(card["idlecpu", 1] < 0.05, sprintf("idle CPU %s %%, %.3f points over 0.05 %%", card["idlecpu", 1], card["idlecpu", 1] - 0.05))
  if (nmissed > 0) {
    print ""
    print "## Missed targets"
    print ""
    for (i = 1; i <= nmissed; i++) print "- " missed[i] "."
  }
}
