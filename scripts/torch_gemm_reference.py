#!/usr/bin/env python3
"""Times the benchmark's multiplication through PyTorch and compares it with a mivaro-cli
JSON report of the same machine.

The PyTorch side runs the same scheme as the benchmark: two 8192 x 8192 FP16 matrices,
FP32 accumulation with reduced-precision reductions disallowed, 20 untimed warm-up
multiplications, then 5 series of 50 timed with CUDA events on one stream; the reported
time is the median of the five series averages.

Exit status: 0 ratio at or above the threshold, 1 below it (or the benchmark did not
complete), 2 PyTorch or CUDA unavailable (only the benchmark's figures are printed),
3 bad arguments or an unreadable report.
"""

import argparse
import json
import statistics
import sys

FLOPS_PER_MULTIPLICATION = 2.0 * 8192 ** 3


def parse_args(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("report", help="mivaro-cli --json output")
    parser.add_argument("--device", type=int, default=None,
                        help="CUDA device index for PyTorch (default: the report's cudaOrdinal)")
    parser.add_argument("--size", type=int, default=8192)
    parser.add_argument("--warmup", type=int, default=20)
    parser.add_argument("--series", type=int, default=5)
    parser.add_argument("--per-series", type=int, default=50)
    parser.add_argument("--threshold", type=float, default=0.97,
                        help="lowest accepted ratio of our throughput to PyTorch's")
    parser.add_argument("--dry-run", action="store_true",
                        help="read the report and print the plan without touching CUDA")
    args = parser.parse_args(argv)
    for name in ("size", "warmup", "series", "per_series"):
        if getattr(args, name) <= 0 and not (name == "warmup" and args.warmup == 0):
            parser.error(f"--{name.replace('_', '-')} must be positive")
    if not 0.0 < args.threshold <= 1.0:
        parser.error("--threshold must lie in (0, 1]")
    return args


def read_report(path):
    with open(path, encoding="utf-8") as handle:
        report = json.load(handle)
    if report.get("schemaVersion") not in (2, 3):
        raise ValueError(f"unsupported schemaVersion {report.get('schemaVersion')!r}")
    return report


def card_of(report):
    """The measured card's part of a report: schema 3 keeps it in 'cards', schema 2 at the top."""
    if report["schemaVersion"] == 2:
        return report
    cards = report.get("cards") or [{}]
    return cards[0]


def torch_median_ms(args, device_index):
    import torch  # imported late: the dry run and the report part need no PyTorch

    if not torch.cuda.is_available():
        raise RuntimeError("PyTorch sees no CUDA device")
    device = torch.device("cuda", device_index)
    torch.backends.cuda.matmul.allow_fp16_reduced_precision_reduction = False
    torch.backends.cuda.matmul.allow_tf32 = False
    generator = torch.Generator(device=device)
    generator.manual_seed(4060)
    n = args.size
    a = torch.randn((n, n), generator=generator, device=device, dtype=torch.float16)
    b = torch.randn((n, n), generator=generator, device=device, dtype=torch.float16)
    c = torch.empty((n, n), device=device, dtype=torch.float16)
    stream = torch.cuda.Stream(device=device)
    per_series_ms = []
    with torch.cuda.stream(stream):
        for _ in range(args.warmup):
            torch.matmul(a, b, out=c)
        stream.synchronize()
        start = torch.cuda.Event(enable_timing=True)
        finish = torch.cuda.Event(enable_timing=True)
        for _ in range(args.series):
            start.record(stream)
            for _ in range(args.per_series):
                torch.matmul(a, b, out=c)
            finish.record(stream)
            finish.synchronize()
            per_series_ms.append(start.elapsed_time(finish) / args.per_series)
    name = torch.cuda.get_device_name(device)
    return statistics.median(per_series_ms), per_series_ms, name, torch.__version__, torch.version.cuda


def main(argv):
    try:
        args = parse_args(argv)
    except SystemExit as stop:  # argparse: --help (0) or a usage error
        return 0 if stop.code == 0 else 3
    try:
        report = read_report(args.report)
    except (OSError, ValueError) as error:
        print(f"torch_gemm_reference: {error}", file=sys.stderr)
        return 3

    outcome = report["outcome"]
    card = card_of(report)
    target = card.get("target") or {}
    components = report.get("components") or {}
    print(f"GPU:                {target.get('name', 'unknown')} (PCI {target.get('pciBusId') or 'unknown'})")
    print(f"cuBLAS:             {components.get('cublas')} at {components.get('cublasLibraryPath')}")
    print(f"CUDA runtime/driver: {components.get('cudaRuntime')} / {components.get('cudaDriver')}")
    if target.get("driverVersion"):
        print(f"Driver:             {target['driverVersion']}, compute capability "
              f"{target.get('computeCapability')}, {target.get('smCount')} SMs")
    print(f"Outcome:            {outcome['status']} - {outcome['message']}")
    print(f"Validation:         {(card.get('validation') or {}).get('status', 'notReached')}")
    result = card.get("result")
    ours_ms = result["median"]["msPerMultiplication"] if result else None
    if ours_ms is not None:
        print(f"mivaro median:      {ours_ms:.4f} ms  {FLOPS_PER_MULTIPLICATION / (ours_ms * 1e9):.2f} TFLOPS")
        clocks = card.get("clocks") or {}
        for sample in clocks.get("samples", []):
            print(f"  series {sample['afterSeries']}: lowest SM {sample['smClockMHz']} MHz, "
                  f"reasons {sample['eventReasonNames']}")
        if clocks and not clocks.get("available"):
            print(f"  clocks not sampled: {clocks.get('unavailableReason')}")

    device_index = args.device if args.device is not None else target.get("cudaOrdinal")
    if device_index is None:
        device_index = 0
    plan = (f"PyTorch plan:       device {device_index}, {args.size}^3 FP16, FP32 accumulation, "
            f"{args.warmup} warm-up, {args.series} x {args.per_series}")
    print(plan)
    if args.dry_run:
        return 0

    try:
        torch_ms, torch_series, torch_name, torch_version, torch_cuda = torch_median_ms(args, device_index)
    except ImportError:
        print("PyTorch is not installed: only the benchmark's figures are shown", file=sys.stderr)
        return 2
    except RuntimeError as error:
        print(f"PyTorch could not run: {error}", file=sys.stderr)
        return 2
    print(f"PyTorch device:     {torch_name} (torch {torch_version}, CUDA {torch_cuda})")
    print("PyTorch series:     " + ", ".join(f"{ms:.4f}" for ms in torch_series) + " ms")
    print(f"PyTorch median:     {torch_ms:.4f} ms  {FLOPS_PER_MULTIPLICATION / (torch_ms * 1e9):.2f} TFLOPS")
    if ours_ms is None:
        print("No benchmark result to compare", file=sys.stderr)
        return 1
    ratio = torch_ms / ours_ms  # our throughput over PyTorch's
    verdict = "OK" if ratio >= args.threshold else "BELOW THRESHOLD"
    print(f"Ratio (mivaro/PyTorch throughput): {ratio:.4f}  (threshold {args.threshold})  {verdict}")
    return 0 if ratio >= args.threshold and report["validation"]["status"] == "passed" else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
