#!/usr/bin/python3
"""The frame budget: what each effect costs as a share of one 60 fps frame
(16.7 ms) at 800 x 600, beside its peer where one exists, read from the JSON
that kr_bench writes.

    build/release/kr_bench --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \\
        --benchmark_out=build/bench.json --benchmark_out_format=json
    /usr/bin/python3 scripts/frame_budget.py build/bench.json \\
        --markdown docs/frame_budget.md --chart docs/frame_budget.png

Times are processor time per call (the median when the run has repetitions),
so a loaded machine skews them less. A row whose benchmark is missing from
the run is left out and named on standard error. The chart needs Debian's
python3-matplotlib (scripts/deps.sh --docs).

Runs at several kernel levels, each named LEVEL=JSON (scripts/
frame_budget_levels.sh makes them, one kr_bench run per level the processor
has), give a column per level; each level's ratio is to the peer measured
in its own run. `--filter` prints a benchmark filter of every member and peer.
"""
import argparse
import json
import re
import sys

FRAME_MS = 1000.0 / 60.0
# One 1024-frame pull of the mixer at 44100 Hz, scaled to a frame's audio.
AUDIO_PULL_TO_FRAME = 44100.0 / 60.0 / 1024.0

# (group, effect, our benchmark, peer benchmark or None, peer's name, scale of
# one call to one frame's use)
ROWS = [
    ("copies", "keyed full-screen copy", "KeyedScreen_Ours", "KeyedScreen_Sdl", "SDL keyed blit", 1),
    ("copies", "keyed full-screen copy, beside RLE", "KeyedScreen_Ours", "KeyedScreen_SdlRle", "SDL RLE blit", 1),
    ("copies", "opaque full-screen copy", "OpaqueScreen_Ours", "Screen_Memcpy", "memcpy", 1),
    ("copies", "fill the screen", "FillScreen_Ours", "FillScreen_Sdl", "SDL_FillRect", 1),
    ("copies", "100 keyed 96x96 sprites", "Sprites_Ours", "Sprites_Sdl", "SDL keyed blit", 1),
    ("copies", "100 keyed sprites, beside RLE", "Sprites_Ours", "Sprites_SdlRle", "SDL RLE blit", 1),
    ("copies", "StretchBlit keyed 2x", "BM_StretchBlitKeyed", "BM_SdlBlitScaledKeyed", "SDL_BlitScaled", 1),
    ("copies", "StretchBlitOpaque 2x", "BM_StretchBlitOpaque", "BM_SdlBlitScaledOpaque", "SDL_BlitScaled", 1),
    ("copies", "RotateZoom", "RotateZoom_Ours", "RotateZoom_SdlRenderCopyEx", "SDL_RenderCopyEx", 1),
    ("copies", "RotateBlit", "RotateBlit_Ours", None, "", 1),
    ("copies", "WaveBlit", "BM_WaveBlitFullScreen", "BM_MemcpyFullScreen", "memcpy", 1),
    ("blends", "HalfBlit", "Blend_HalfBlit", "Blend_Memcpy", "memcpy", 1),
    ("blends", "AlphaBlit", "Blend_AlphaBlit", "Blend_SdlAlpha", "SDL blended blit", 1),
    ("blends", "AlphaBlit at 0.3", "Blend_AlphaBlit30", "Blend_SdlAlpha77", "SDL blended blit, 77/255", 1),
    ("blends", "AlphaBlitRGB", "Blend_AlphaBlitRGB", "Blend_SdlAlpha", "SDL blended blit", 1),
    ("blends", "AlphaGradientBlit, down the rows", "Blend_AlphaGradientBlit", "Blend_SdlAlpha", "SDL blended blit", 1),
    ("blends", "AlphaGradientBlit, across the rows", "Blend_AlphaGradientBlitColumns", "Blend_SdlAlpha", "SDL blended blit", 1),
    ("blends", "FadeBlit", "Blend_FadeBlit", None, "", 1),
    ("blends", "FadeBlitRGB", "Blend_FadeBlitRGB", None, "", 1),
    ("blends", "FadeGradientBlit", "Blend_FadeGradientBlit", None, "", 1),
    ("blends", "AddBlit", "Blend_AddBlit", None, "", 1),
    ("blends", "AddAlphaBlit", "Blend_AddAlphaBlit", None, "", 1),
    ("blends", "SubBlit", "Blend_SubBlit", None, "", 1),
    ("blends", "DarkBlit", "Blend_DarkBlit", None, "", 1),
    ("blends", "BrightBlit", "Blend_BrightBlit", None, "", 1),
    ("blends", "ChannelBlit", "Blend_ChannelBlit", None, "", 1),
    ("blends", "GrayBlit", "Blend_GrayBlit", None, "", 1),
    ("blends", "BlurBlit, block 2", "Blend_BlurBlit2", None, "", 1),
    ("blends", "BlurBlit, block 8", "Blend_BlurBlit8", None, "", 1),
    ("blends", "BlurBlit, block 64 (kernel)", "Blur_Kernel16/64", None, "", 1),
    ("blends", "SmoothEdgeBlit", "Blend_SmoothEdgeBlit", None, "", 1),
    ("blends", "RefractBlit", "Blend_RefractBlit", None, "", 1),
    ("blends", "FlipBlit", "Blend_FlipBlit0", None, "", 1),
    ("blends", "SmearBlit", "Blend_SmearBlit", None, "", 1),
    ("filters", "Smooth", "Smooth_Ours", None, "", 1),
    ("filters", "SmokeRect", "Smoke_Ours", None, "", 1),
    ("filters", "NoiseRect", "Noise_Ours", None, "", 1),
    ("filters", "MosaicRect", "Mosaic_Ours", None, "", 1),
    ("filters", "Enlarge", "Enlarge_Ours", None, "", 1),
    ("text", "LayoutText, 259-byte message", "BM_LayoutText", "BM_DrawTextBoxPeer", "plain text box", 1),
    ("text", "debug line (Printf)", "BM_PrintfDebugLine", "BM_FreeTypeDirect", "FreeType direct", 1),
    ("sound", "mixer, 32 voices (a frame's audio)", "BM_MixerVoices22kTo44k", "BM_SdlMixAudioFormat44k",
     "SDL_MixAudioFormat", AUDIO_PULL_TO_FRAME),
    ("game", "the game's whole frame", "BM_GameFrame", "BM_GameFrameFloor", "its floor", 1),
]

UNIT_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
UNIT_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


def read_times(path):
    """Processor milliseconds per call of each benchmark: the median
    aggregate when there is one, else the mean of the runs."""
    with open(path, encoding="utf-8") as f:
        runs = json.load(f)["benchmarks"]
    medians, samples = {}, {}
    for run in runs:
        name = run.get("run_name", run["name"])
        if run.get("error_occurred"):
            continue
        ms = run["cpu_time"] * UNIT_MS[run.get("time_unit", "ns")]
        if run.get("run_type") == "aggregate":
            if run.get("aggregate_name") == "median":
                medians[name] = ms
        else:
            samples.setdefault(name, []).append(ms)
    times = {name: sum(v) / len(v) for name, v in samples.items()}
    times.update(medians)
    return times


def budget(times):
    """(group, effect, our share, peer share or None, peer name) in percent
    of a frame; rows whose benchmark is missing are left out."""
    rows, missing = [], []
    for group, effect, ours, peer, peer_name, scale in ROWS:
        if ours not in times:
            missing.append(ours)
            continue
        share = 100.0 * times[ours] * scale / FRAME_MS
        peer_share = 100.0 * times[peer] * scale / FRAME_MS if peer in times else None
        if peer and peer not in times:
            missing.append(peer)
        rows.append((group, effect, share, peer_share, peer_name if peer_share is not None else ""))
    return rows, missing


def level_budgets(runs):
    """For runs [(level, times)]: rows (group, effect, [our share per level
    or None], [peer share per level or None], peer name) in the order of
    ROWS; a row is kept when any level measured it."""
    per_level = [{row[1]: row for row in budget(times)[0]} for _, times in runs]
    rows = []
    for group, effect, _, _, peer_name, _ in ROWS:
        found = [level.get(effect) for level in per_level]
        if not any(found):
            continue
        ours = [r[2] if r else None for r in found]
        peers = [r[3] if r else None for r in found]
        rows.append((group, effect, ours, peers, peer_name if any(p is not None for p in peers) else ""))
    return rows


def cell(value, form):
    return form.format(value) if value is not None else "-"


def markdown(levels, rows):
    """The table: our share at every level, the peer's share (from the
    first level's run) and the peer / ours ratio at every level, each to the
    peer measured in that level's own run."""
    named = len(levels) > 1 or levels[0]
    ours_heads = [f"Ours at {n}, % of a frame" for n in levels] if named else ["Ours, % of a frame"]
    ratio_heads = [f"Peer / ours at {n}" for n in levels] if named else ["Peer / ours"]
    lines = ["| Effect (800 x 600) | " + " | ".join(ours_heads) + " | Peer | Peer, % of a frame | "
             + " | ".join(ratio_heads) + " |",
             "|---|" + "---:|" * len(levels) + "---|---:|" + "---:|" * len(levels)]
    for _, effect, ours, peers, peer_name in rows:
        shares = " | ".join(cell(v, "{:.2f}") for v in ours)
        if not peer_name:
            lines.append(f"| {effect} | {shares} | | |" + " |" * len(levels))
            continue
        first_peer = next(p for p in peers if p is not None)
        ratios = " | ".join(cell(p / o if p is not None and o else None, "{:.2f}x") for o, p in zip(ours, peers))
        lines.append(f"| {effect} | {shares} | {peer_name} | {first_peer:.2f} | {ratios} |")
    return "\n".join(lines) + "\n"


def chart(levels, rows, path):
    """Bars of our share at every level and the peer's (from the first
    level's run), one group of bars per effect."""
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    labels = [r[1] for r in rows]
    names = [f"ours at {n}" if n else "ours" for n in levels]
    series = [(name, [r[2][i] or 0.0 for r in rows]) for i, name in enumerate(names)]
    series.append(("peer (where one exists)", [next((p for p in r[3] if p is not None), 0.0) for r in rows]))
    colours = ["#17486b", "#2a7ab0", "#7fb8df", "#b5d8ef"][: len(levels)] + ["#c8c8c8"]
    height = 0.84 / len(series)
    fig, ax = plt.subplots(figsize=(9.5, (0.14 + 0.1 * len(series)) * len(rows) + 1.4))
    ys = list(range(len(rows)))
    for k, ((name, values), colour) in enumerate(zip(series, colours)):
        offset = (k - (len(series) - 1) / 2) * height
        ax.barh([y + offset for y in ys], values, height, label=name, color=colour)
        if k < len(levels):
            for y, value in zip(ys, values):
                if value:
                    ax.text(value, y + offset, f" {value:.2f}", va="center", fontsize=5.5)
    ax.set_yticks(ys)
    ax.set_yticklabels(labels, fontsize=8)
    ax.set_ylim(len(rows) - 0.5, -0.5)  # top to bottom, without margins
    ax.set_xscale("log")
    ax.set_xlabel("share of one 60 fps frame (16.7 ms), percent, log scale")
    ax.axvline(100.0, color="#b03030", linewidth=1)
    ax.set_title("Frame budget at 800 x 600" + (", by kernel level" if len(levels) > 1 else ""))
    ax.legend(loc="lower right", fontsize=8)
    fig.tight_layout()
    fig.savefig(path, dpi=110)


def member_filter():
    """A --benchmark_filter expression that selects every member and peer."""
    names = sorted({n for row in ROWS for n in (row[2], row[3]) if n})
    return "^(" + "|".join(re.escape(n) for n in names) + ")$"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("json", nargs="*", help="kr_bench's JSON output, or LEVEL=JSON for each level's run")
    parser.add_argument("--markdown", help="write the table here ('-' for standard output)")
    parser.add_argument("--chart", help="draw the bar chart into this PNG")
    parser.add_argument("--filter", action="store_true", help="print a benchmark filter of every member and peer")
    args = parser.parse_args()
    if args.filter:
        print(member_filter())
        return 0
    if not args.json:
        parser.error("give kr_bench's JSON output")
    runs = []
    for item in args.json:
        level, sep, path = item.partition("=")
        runs.append((level, read_times(path)) if sep else ("", read_times(item)))
    for level, times in runs:
        for name in budget(times)[1]:
            where = f" at {level}" if level else ""
            print(f"frame_budget: no '{name}' in the run{where}; its row is left out or without its peer",
                  file=sys.stderr)
    rows = level_budgets(runs)
    if not rows:
        print("frame_budget: none of the benchmarks is in the run", file=sys.stderr)
        return 1
    levels = [level for level, _ in runs]
    table = markdown(levels, rows)
    if args.markdown == "-" or (not args.markdown and not args.chart):
        sys.stdout.write(table)
    elif args.markdown:
        with open(args.markdown, "w", encoding="utf-8") as f:
            f.write(table)
    if args.chart:
        chart(levels, rows, args.chart)
    return 0


if __name__ == "__main__":
    sys.exit(main())
