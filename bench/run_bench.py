#!/usr/bin/python3
"""The measurements of `make bench` (see scripts/bench.sh).

Usage: run_bench.py KIVPACK LZSS_PARSE_SIZES OUTDIR
"""
import filecmp
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
RUNS = 3


def run(argv, stdout_path=None, cpu=None):
    """Runs argv once; gives (wall seconds, peak resident KiB). Appends the
    processor seconds it took (user and system, all threads) to `cpu`."""
    out = open(stdout_path, "wb") if stdout_path else subprocess.DEVNULL
    try:
        start = time.monotonic()
        child = subprocess.Popen(argv, stdout=out)
        _, status, usage = os.wait4(child.pid, 0)
        elapsed = time.monotonic() - start
    finally:
        if stdout_path:
            out.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("bench: %s failed" % " ".join(argv))
    if cpu is not None:
        cpu.append(usage.ru_utime + usage.ru_stime)
    return elapsed, usage.ru_maxrss


def best(argv, stdout_path=None, runs=RUNS, cpu=None):
    results = [run(argv, stdout_path, cpu) for _ in range(runs)]
    return min(r[0] for r in results), max(r[1] for r in results)


def same(a, b, what):
    if not filecmp.cmp(a, b, shallow=False):
        sys.exit("bench: %s does not give the corpus back" % what)


def main():
    kivpack, parse_sizes, out = sys.argv[1:4]
    corpus = os.path.join(out, "corpus.bin")
    if not os.path.exists(corpus):
        subprocess.check_call([sys.executable, os.path.join(HERE, "make_corpus.py"), corpus])
    size = os.path.getsize(corpus)
    lz, gz = corpus + ".lz", corpus + ".gz"
    expanded, gunzipped = corpus + ".expanded", corpus + ".gunzipped"

    _, optimal, greedy = map(int, subprocess.check_output([parse_sizes, corpus]).split())
    cpu_gzip, cpu_compress = [], []
    t_gzip, _ = best(["gzip", "-6", "-c", corpus], gz, cpu=cpu_gzip)
    t_compress, rss_compress = best([kivpack, "compress", corpus, lz], cpu=cpu_compress)
    t_gunzip, _ = best(["gzip", "-dc", gz], gunzipped)
    t_expand, _ = best([kivpack, "expand", lz, expanded])
    same(expanded, corpus, "kivpack expand")
    same(gunzipped, corpus, "gzip -dc")
    if os.path.getsize(lz) != optimal:
        sys.exit("bench: kivpack compress and the library disagree on the size")
    gz_size = os.path.getsize(gz)
    for path in (expanded, gunzipped):
        os.remove(path)

    mib = 1 << 20
    print("corpus: %d bytes (%.1f MiB), %s" % (size, size / mib, corpus))
    print("  size   optimal parse %11d bytes (%.1f%%)" % (optimal, 100.0 * optimal / size))
    print("         greedy parse  %11d bytes (%.1f%%): optimal is %.2f%% smaller"
          % (greedy, 100.0 * greedy / size, 100.0 * (greedy - optimal) / greedy))
    print("         gzip -6       %11d bytes (%.1f%%), for reference" % (gz_size, 100.0 * gz_size / size))
    print("  compress  kivpack compress %6.3f s   gzip -6  %6.3f s   ratio %.2f (target <= 1.00)"
          % (t_compress, t_gzip, t_compress / t_gzip))
    # The compressor searches on every processor: its wall-clock time depends
    # on how many are free, so the processor time it took is shown too.
    print("            processor time   %6.3f s            %6.3f s   (least of the runs)"
          % (min(cpu_compress), min(cpu_gzip)))
    print("  expand    kivpack expand   %6.3f s   gzip -dc %6.3f s   ratio %.2f (target <= 0.80)"
          % (t_expand, t_gunzip, t_expand / t_gunzip))
    print("  peak memory of kivpack compress: %.0f MiB" % (rss_compress / 1024.0))

    big = os.path.join(out, "big.bin")
    subprocess.check_call([sys.executable, os.path.join(HERE, "make_corpus.py"), big,
                           str(256 * mib), "7"], stderr=subprocess.DEVNULL)
    t_big, rss_big = run([kivpack, "compress", big, big + ".lz"])
    t_big_expand, _ = run([kivpack, "expand", big + ".lz", big + ".expanded"])
    same(big + ".expanded", big, "kivpack expand (256 MiB)")
    big_lz = os.path.getsize(big + ".lz")
    for path in (big, big + ".lz", big + ".expanded"):
        os.remove(path)
    print("256 MiB input: compress %.1f s to %d bytes, peak memory %.0f MiB (%.2f bytes per input byte);"
          " expand %.1f s" % (t_big, big_lz, rss_big / 1024.0, rss_big * 1024.0 / (256 * mib),
                              t_big_expand))


main()
