# UDP front end stand-in: the chassis controller's ICSC datagrams on UDP port
# 5000 inside the bench, to and from the card's queues.
bench_peer --ready "ss -Hlun 'sport = :${FXS_ICSC_PORT:-5000}' | grep -q ." udpfe \
  "$(bench_bin udpfe)" --port "${FXS_ICSC_PORT:-5000}"
