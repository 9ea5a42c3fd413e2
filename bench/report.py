#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Turns the suite's raw results into one table: printed, written as JSON,
and the round-trip latency against payload size plotted as a PNG.

    report.py <results dir>

The directory holds the Google Benchmark JSON output of each program
(hosting.json, gsdcatalog.json, pnconfig.json) and peer.json from the
vscode-jsonrpc pair."""

import json
import os
import platform
import shutil
import subprocess
import sys


def load(directory, name):
    path = os.path.join(directory, name)
    if not os.path.exists(path):
        return {}
    with open(path) as f:
        data = json.load(f)
    if "benchmarks" not in data:
        return data
    return {b["name"]: b for b in data["benchmarks"]}


def machine():
    model = platform.processor() or platform.machine()
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return f"{model}, {os.cpu_count()} cores, {platform.system()} {platform.release()}"


def main():
    directory = sys.argv[1]
    hosting = load(directory, "hosting.json")
    gsd = load(directory, "gsdcatalog.json")
    pn = load(directory, "pnconfig.json")
    peer = load(directory, "peer.json")
    rows = []

    def row(label, figure, baseline, unit, base_label, goal=None, check=None, note=""):
        ratio = figure / baseline if figure is not None and baseline else None
        met = None
        if check is not None and figure is not None:
            met = bool(check(figure, ratio))
        rows.append({"row": label, "figure": figure, "baseline": baseline, "unit": unit,
                     "baseline_is": base_label, "ratio": ratio, "goal": goal, "met": met,
                     "note": note})

    def counters(bench, name):
        b = bench.get(name)
        if not b or b.get("error_occurred"):
            return None
        return b

    rt = counters(hosting, "BM_RunTestRoundTrip/iterations:300")
    if rt:
        row("Round trip, RunTest", rt["figure_us"], rt["baseline_us"], "us",
            "raw pipe ping-pong", "<= 4x (stretch 2.5x)", lambda f, r: r <= 4.0,
            f"{rt['allocations_per_call']:.0f} host allocations per call")
        if peer:
            row("Round trip, RunTest", rt["figure_us"], peer["round_trip_us"], "us",
                "vscode-jsonrpc pair", "<= 0.167x (6x faster)", lambda f, r: r <= 1 / 6)
    for size, label in ((1 << 10, "1 KB"), (1 << 16, "64 KB"), (1 << 20, "1 MB")):
        b = counters(hosting, f"BM_PayloadRoundTrip/{size}/iterations:5")
        if b:
            row(f"Round trip, {label} result", b["figure_us"], b["baseline_us"], "us",
                "pipe copy + bare JsonCpp write/parse", "<= 1.3x", lambda f, r: r <= 1.3)
            if size == 1 << 20 and "pipe_copy_us" in b:
                row(f"Round trip, {label} result", b["figure_us"], b["pipe_copy_us"], "us",
                    "pipe copy alone", "<= 5x", lambda f, r: r <= 5.0)
    for threads, servers, label in ((1, 1, "1 thread, 1 server"), (2, 1, "2 threads, 1 server"),
                                    (8, 1, "8 threads, 1 server"), (8, 8, "8 threads, 8 servers")):
        b = counters(hosting, f"BM_Throughput/{threads}/{servers}/iterations:1/real_time")
        if b:
            row(f"Throughput, {label}", b["figure_us"], b["baseline_us"], "us/call",
                "raw ping-pong, same threads", None, None,
                f"{b['calls_per_s']:.0f} calls/s")
    b = counters(hosting, "BM_ServerStartVersusHostMemory/iterations:1")
    if b:
        row("Server start to first answer, 4 GB host", b["figure_us"], b["baseline_us"], "us",
            "same, 64 MB host", "<= 1.2x", lambda f, r: r <= 1.2)
    b = counters(gsd, "BM_ImportLargeFile")
    if b:
        floor = counters(gsd, "BM_ImportFloor")
        row("GSD import, 2 MB file", b["subject_ms"], b["bare_parse_ms"], "ms (CPU)",
            "bare XML parse", "<= 2x", lambda f, r: r <= 2.0,
            f"floor (read, parse, hash, write) {floor['ratio_to_bare_parse']:.2f}x" if floor else "")
    for name, label in (("BM_GsdPluggableModuleCatalog/iterations:3000", "GetPluggableModuleCatalog"),
                        ("BM_GsdSubModuleParameter/iterations:3000", "GetSubMouleParameter")):
        b = counters(hosting, name)
        if b:
            row(f"GSD warm query p50, {label}", b["figure_us"], b["baseline_us"], "us",
                "raw ping-pong, same bytes", "p50 < 30 us", lambda f, r: f < 30,
                f"p99 {b['p99_us']:.0f} us")
    b = counters(pn, "BM_ConfigurationToJson")
    if b:
        ms = b["cpu_time"]
        row("ToJson, 256 devices", ms, ms / b["ratio_to_json_copy"], "ms (CPU)",
            "deep copy of the document", "<= 1.5x", lambda f, r: r <= 1.5)
        if "heap_ratio" in b:
            row("ToJson, 256 devices, heap", b["heap_ratio"], 1.0, "x",
                "deep copy's heap bytes", "<= 1.0x", lambda f, r: f <= 1.0)

    def fmt(v):
        if v is None:
            return "-"
        return f"{v:.3g}" if abs(v) < 100 else f"{v:.0f}"

    header = ["Row", "Figure", "Baseline", "Unit", "Baseline is", "Ratio", "Goal", "Met", "Note"]
    lines = [header]
    for r in rows:
        met = "-" if r["met"] is None else ("yes" if r["met"] else "NO")
        lines.append([r["row"], fmt(r["figure"]), fmt(r["baseline"]), r["unit"], r["baseline_is"],
                      fmt(r["ratio"]), r["goal"] or "-", met, r["note"]])
    widths = [max(len(str(line[i])) for line in lines) for i in range(len(header))]
    text = []
    for i, line in enumerate(lines):
        text.append("| " + " | ".join(str(c).ljust(w) for c, w in zip(line, widths)) + " |")
        if i == 0:
            text.append("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    table = "\n".join(text)
    print(f"Machine: {machine()}")
    print(table)

    result = {"machine": machine(), "rows": rows}
    with open(os.path.join(directory, "results.json"), "w") as f:
        json.dump(result, f, indent=2)
    with open(os.path.join(directory, "table.md"), "w") as f:
        f.write(f"Machine: {machine()}\n\n{table}\n")

    plot(directory, hosting, rt)


def plot(directory, hosting, rt):
    # result bytes, the library, the bare JsonCpp floor, the pipe copy alone
    points = []
    if rt:
        points.append((200, rt["figure_us"], "NaN", rt["baseline_us"]))
    for size in (1 << 10, 1 << 16, 1 << 20):
        b = hosting.get(f"BM_PayloadRoundTrip/{size}/iterations:5")
        if b and not b.get("error_occurred"):
            points.append((size, b["figure_us"], b["baseline_us"], b.get("pipe_copy_us", "NaN")))
    if not points:
        return
    data = os.path.join(directory, "roundtrip.dat")
    with open(data, "w") as f:
        f.write("# result_bytes library_us jsoncpp_floor_us pipe_copy_us\n")
        for p in points:
            f.write(" ".join(str(v) for v in p) + "\n")
    if shutil.which("gnuplot") is None:
        print("gnuplot not found (bench/setup-deps.sh installs it): no plot", file=sys.stderr)
        return
    png = os.path.join(directory, "roundtrip.png")
    script = f"""
set terminal pngcairo size 800,500 noenhanced
set output '{png}'
set title 'Round-trip latency against result size'
set logscale xy
set xlabel 'result size (bytes)'
set ylabel 'round trip (microseconds)'
set key left top
set grid
set datafile missing 'NaN'
plot '{data}' using 1:2 with linespoints lw 2 title 'JsonRpcClient::Request', \\
     '{data}' using 1:3 with linespoints lw 2 title 'pipe copy + bare JsonCpp', \\
     '{data}' using 1:4 with linespoints lw 2 title 'pipe copy alone'
"""
    subprocess.run(["gnuplot"], input=script.encode(), check=True)
    print(f"Plot: {png}")


if __name__ == "__main__":
    main()
