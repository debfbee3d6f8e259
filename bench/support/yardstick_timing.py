"""Timing shared by the numpy yardsticks beside the benchmarks."""
import time


def best_time(runs, action, clock=time.perf_counter):
    """The shortest of `runs` timings of `action` on `clock`: the least disturbed run."""
    times = []
    for _ in range(runs):
        start = clock()
        action()
        times.append(clock() - start)
    return min(times)
