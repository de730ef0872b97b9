#!/usr/bin/perl
# SPDX-License-Identifier: GPL-3.0-or-later
# CHANGELOG.md (stdin) as a Debian changelog (stdout), for /usr/share/doc/brisquellum/changelog.gz.
# Each "## <version> (<YYYY-MM-DD>)" section becomes an entry by the maintainer given as the
# argument; its "### " headings become items, its paragraphs and "- " list items the lines
# under them, wrapped to 78 columns. Text before the first section is left out.
use strict;
use warnings;
use POSIX qw(strftime);
use Text::Wrap qw(wrap $columns);
use Time::Local qw(timegm);

my $maintainer = shift @ARGV or die "usage: changelog-to-debian.pl MAINTAINER <CHANGELOG.md\n";
$columns = 79;

my @entries;    # { version, date, items => [ [ first-line-indent, rest-indent, text ] ] }
my $text;       # the paragraph or list item being read

sub finish_text {
    return unless defined $text && @entries;
    push @{ $entries[-1]{items} }, $text;
    undef $text;
}

while (my $line = <STDIN>) {
    chomp $line;
    if ($line =~ /^## (\S+) \((\d{4})-(\d{2})-(\d{2})\)/) {
        finish_text();
        push @entries, { version => $1, time => timegm(0, 0, 12, $4, $3 - 1, $2), items => [] };
    } elsif (!@entries) {
        next;
    } elsif ($line =~ /^### (.*)/) {
        finish_text();
        $text = [ '  * ', '    ', $1 ];
    } elsif ($line =~ /^- (.*)/) {
        finish_text();
        $text = [ '    - ', '      ', $1 ];
    } elsif ($line =~ /^\s*$/) {
        finish_text();
    } elsif (defined $text) {
        $line =~ s/^\s+//;
        $text->[2] .= " $line";
    } else {
        $text = [ '  * ', '    ', $line ];
    }
}
finish_text();
die "changelog-to-debian.pl: no \"## <version> (<date>)\" section\n" unless @entries;

my $first = 1;
for my $entry (@entries) {
    print "\n" unless $first;
    $first = 0;
    print "brisquellum ($entry->{version}) unstable; urgency=medium\n\n";
    for my $item (@{ $entry->{items} }) {
        my ($lead, $rest, $words) = @$item;
        $words =~ s/`//g;
        print wrap($lead, $rest, $words), "\n";
    }
    print "\n -- $maintainer  ", strftime('%a, %d %b %Y %H:%M:%S +0000', gmtime $entry->{time}), "\n";
}
