"""Reads a /metrics text on standard input with Prometheus' own parser and
prints each sample as `name{label=value,...} value`, one a line, sorted.
Exits 1 (with the parser's complaint) when the text does not parse."""
import sys

from prometheus_client.parser import text_string_to_metric_families

try:
    lines = []
    for family in text_string_to_metric_families(sys.stdin.read()):
        for sample in family.samples:
            labels = ",".join(f"{k}={v}" for k, v in sorted(sample.labels.items()))
            lines.append(f"{sample.name}{{{labels}}} {sample.value:g}")
except Exception as error:  # the parser's own exceptions vary by version
    print(f"unparsable: {error}", file=sys.stderr)
    sys.exit(1)
print("\n".join(sorted(lines)))
