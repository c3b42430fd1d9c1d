// Sleeps for the whole duration even when signals interrupt the sleep.
#pragma once

void BetterSleep(double seconds);
