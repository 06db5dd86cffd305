# help2man fills every option's text into one paragraph; the routes that --help lists under -t, one a
# line in two columns, stay lines in the manual page.
/output format:$/a\
.nf
/output format:$/,/^\.TP$/{
/^\.TP$/i\
.fi
}
