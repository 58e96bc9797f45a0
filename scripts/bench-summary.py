#!/usr/bin/env python3
"""Prints the engine's figures from Google Benchmark JSON files (medians of the repetitions),
each beside its baseline from the same run: the tick per frame beside the plain sum of the same
buffers, the conversions beside memcpy, the controller flood beside none. Usage:
bench-summary.py bench_tick.json bench_convert.json bench_midi.json"""
import json
import sys

TICK_GOAL = 1.3


def medians(path):
    with open(path) as f:
        runs = json.load(f)["benchmarks"]
    return {r["run_name"]: r for r in runs if r.get("aggregate_name") == "median"}


def tick_table(m):
    def per_frame_ns(name):
        return 1e9 / m[name]["items_per_second"]

    def pair(args):
        return per_frame_ns("BM_MixerTick/" + args), per_frame_ns("BM_PlainSum/" + args)

    print("Mixer tick, CPU time per frame (median), beside the plain sum of the same buffers:")
    print(f"  {'case':48} {'tick':>9} {'plain sum':>10} {'ratio':>6}  goal")
    rows = [
        ("one 50 ms tick (2205 frames), 8 channels", "frames:2205/channels:8/long:0", True),
        ("live tick (128 frames), 8 channels", "frames:128/channels:8/long:0", True),
        ("50 ms tick, 1 channel", "frames:2205/channels:1/long:0", False),
        ("50 ms tick, 2 channels", "frames:2205/channels:2/long:0", False),
        ("50 ms tick, 4 channels", "frames:2205/channels:4/long:0", False),
        ("50 ms tick, 8 one-minute loops (85 MB)", "frames:2205/channels:8/long:1", False),
    ]
    for label, args, goal in rows:
        tick, plain = pair(args)
        verdict = ""
        if goal:
            verdict = f"<= {TICK_GOAL}: " + ("met" if tick / plain <= TICK_GOAL else "NOT MET")
        print(f"  {label:48} {tick:7.2f} ns {plain:7.2f} ns {tick / plain:6.2f}  {verdict}")
    plain8 = per_frame_ns("BM_PlainSum/frames:2205/channels:8/long:0")
    for label, name in [("37-frame waves, every channel ramping", "BM_MixerTickShortWavesRamping"),
                        ("MixOneFrame x 2205 (the reference)", "BM_ReferenceFrameByFrame")]:
        t = per_frame_ns(name)
        print(f"  {label:48} {t:7.2f} ns {plain8:7.2f} ns {t / plain8:6.2f}")


def convert_table(m):
    base = m["BM_Memcpy"]["bytes_per_second"]
    print("Conversion, input bytes per second (median), beside memcpy of the same input:")
    for name, r in sorted(m.items(), key=lambda item: -item[1]["bytes_per_second"]):
        rate = r["bytes_per_second"]
        print(f"  {name:42} {rate / 1e9:7.2f} GB/s  {rate / base:6.3f} of memcpy")


def flood_table(m):
    quiet, flood = m["BM_TenSecondsOfEightLoops/0"], m["BM_TenSecondsOfEightLoops/1"]
    print("Controller flood, 10 s of eight loops at 44100 Hz, live timing (median), beside none:")
    for label, r in [("no messages", quiet), ("100,000 messages", flood)]:
        print(f"  {label:18} {r['cpu_time']:7.2f} ms CPU, longest quantum "
              f"{r['longest_quantum_us']:6.0f} us, most queued {r['most_queued']:.0f}, dropped "
              f"{r['dropped']:.0f}, allocations after 1 s {r['allocations_after_1s']:.0f}")
    print(f"  the flood's output equals the renderer's: {'yes' if flood['equals_renderer'] else 'NO'}")


def main():
    for path in sys.argv[1:]:
        m = medians(path)
        if any(n.startswith("BM_MixerTick") for n in m):
            tick_table(m)
        elif any(n.startswith("BM_TenSeconds") for n in m):
            flood_table(m)
        else:
            convert_table(m)


if __name__ == "__main__":
    main()
