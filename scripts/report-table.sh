#!/bin/sh
# One table of the run reports ("-report FILE.json") in a folder, one row per
# report in name order: layout, features read, engine (with the graphs any
# other engine coloured), result (stitches and conflicts of the result line,
# or the error), summed engine cost, summed lower bound (when every graph
# has one), wall seconds and peak resident memory of the run (and of its
# largest solver process), as a Markdown table.
# Usage: sh scripts/report-table.sh [DIR]   (default: the working directory)
set -eu
dir=${1:-.}
[ -d "$dir" ] || { echo "report-table: no folder $dir" >&2; exit 1; }
exec perl -MJSON::PP -e '
use strict;
use warnings;
my @files = sort glob(quotemeta($ARGV[0]) . "/*.json");
die "report-table: no reports (*.json) in $ARGV[0]\n" unless @files;
print "| layout | features | engine | result | cost | bound | wall s | peak MB (solver) |\n";
print "|---|---|---|---|---|---|---|---|\n";
for my $file (@files) {
    open(my $in, "<", $file) or die "report-table: cannot read $file\n";
    my $r = eval { local $/; decode_json(<$in>) };
    die "report-table: $file is not a run report\n" unless ref $r eq "HASH" && defined $r->{schema};
    my $layout = $r->{input}{name};
    $layout =~ s{.*/}{};
    my $features = $r->{counts}{features_read} // "-";
    my $algo = $r->{parameters}{algo};
    my $by = $r->{counts}{graphs_by_engine};
    my @others = map { "$_ $by->{$_}" } grep { $_ ne $algo && $_ ne "fast_trial" && $by->{$_} } sort keys %$by;
    my $engine = join(" + ", $algo, @others);
    my $result = defined $r->{result}
        ? "$r->{result}{stitch_num} stitches, $r->{result}{conflict_num} conflicts"
        : "$r->{error}";
    $result =~ s/\|/\\|/g;
    my ($cost, $bound, $bounded) = (0, 0, 1);
    for my $g (@{ $r->{graphs} }) {
        $cost += $g->{cost};
        if (defined $g->{lower_bound}) { $bound += $g->{lower_bound} } else { $bounded = 0 }
    }
    $bound = $bounded && @{ $r->{graphs} } ? sprintf("%.4g", $bound) : "-";
    my $t = $r->{total};
    printf "| %s | %s | %s | %s | %.4g | %s | %.2f | %.0f (%.0f) |\n", $layout, $features,
        $engine, $result, $cost, $bound, $t->{wall_seconds}, $t->{peak_rss_mb},
        $t->{peak_solver_rss_mb};
}
' "$dir"
