#!/usr/bin/perl
# Runs the cases of generate_cases.pl through perl and prints, per case, the
# spans of every group ("start,end" or "-"), successive matches of a repeated
# match separated by " | "; "nomatch" when nothing matched, "error" when the
# pattern does not compile.
use strict;
use warnings;
no warnings;

my ($file) = @ARGV;
open(my $in, '<', $file) or die "$file: $!\n";
while (my $line = <$in>) {
    chomp $line;
    my ($flags, $pattern, $subject) = split /\t/, $line, 3;
    $subject = '' unless defined $subject;
    $subject =~ s/~/\n/g;
    my $mods = $flags;
    $mods =~ s/[-g]//g;
    # The branch that never matches changes nothing but turns off perl's
    # guess of the characters a match can start with, which 5.36 gets wrong
    # for a pattern opening with a look-ahead that can match empty, as in
    # /(?=_?)\d/, or with a conditional on a look-ahead, as in /(?(?=x)a)A/:
    # both miss every match.
    my $re = eval { qr/(?$mods)(?:$pattern|(*FAIL))/ };
    if (!defined $re) {
        print "error\n";
        next;
    }
    my @matches;
    # With PROBE_SECONDS set (and PERL_SIGNALS=unsafe, so that the alarm
    # stops a match in progress), a case perl itself does not finish in time
    # reads "timeout" and is left out; one that recurses for ever, "error".
    local $SIG{ALRM} = sub { die "timeout\n" };
    alarm($ENV{PROBE_SECONDS}) if $ENV{PROBE_SECONDS};
    my $ok = eval {
        if ($flags =~ /g/) {
            while ($subject =~ /$re/g) {
                push @matches, spans();
            }
        } elsif ($subject =~ $re) {
            push @matches, spans();
        }
        1;
    };
    alarm(0);
    if (!$ok) {
        print $@ eq "timeout\n" ? "timeout\n" : "error\n";
        next;
    }
    print @matches ? join(' | ', @matches) : 'nomatch', "\n";
}

sub spans {
    return join(' ', map { defined $-[$_] ? "$-[$_],$+[$_]" : '-' } 0 .. $#+);
}
