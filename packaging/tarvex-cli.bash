# bash completion for tarvex-cli.
# The options, the routes of -t and the schemes and formats of --from and --to are read from the
# program's own --help when completing, so that what a newer tarvex-cli offers completes with no edit here.

# Words of the help of the program at $1 ($2 says which):
#   options  every option (-t, --type, ...)
#   routes   the routes listed under -t: the lines in the route column, up to --from
#   schemes  the list after "--from SCHEME ...: " ("wylie or kvts")
#   formats  the list after "--to FORMAT ...: "
_tarvex_cli_help_words() {
    local help
    help=$("$1" --help 2>/dev/null) || return
    case $2 in
        options)
            sed -n 's/^ \{1,6\}\(-[a-z]\), \(--[a-z-]*\).*/\1 \2/p; s/^ \{1,6\}\(--[a-z-]*\).*/\1/p' <<<"$help"
            ;;
        routes)
            sed -n '/^ *-t, --type/,/^ *--from/{s/^ \{8,\}\([a-z][a-z-]*-[a-z-]*\)  .*/\1/p}' <<<"$help"
            ;;
        schemes | formats)
            local option=--from
            [[ $2 == formats ]] && option=--to
            sed -n "s/^ *$option [A-Z]* .*: //p" <<<"$help" | sed 's/,/ /g; s/ or / /g'
            ;;
    esac
}

_tarvex_cli() {
    local cur prev words cword split
    _init_completion -s || return
    local program=${words[0]}

    case $prev in
        -t | --type)
            mapfile -t COMPREPLY < <(compgen -W "$(_tarvex_cli_help_words "$program" routes)" -- "$cur")
            return
            ;;
        --from)
            mapfile -t COMPREPLY < <(compgen -W "$(_tarvex_cli_help_words "$program" schemes)" -- "$cur")
            return
            ;;
        --to)
            mapfile -t COMPREPLY < <(compgen -W "$(_tarvex_cli_help_words "$program" formats)" -- "$cur")
            return
            ;;
        -f | --font)
            mapfile -t COMPREPLY < <(compgen -W "ekorlam korlam" -- "$cur")
            return
            ;;
        --stage)
            mapfile -t COMPREPLY < <(compgen -W "kvts syllables glyphs" -- "$cur")
            return
            ;;
        -d | --data-dir)
            _filedir -d
            return
            ;;
        -o | --output)
            _filedir
            return
            ;;
        -r | --recursive | -j | --jobs | --size | --small-size | --max-warnings | --unicode-font)
            # a pattern, a number or a font name: nothing to offer
            return
            ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(_tarvex_cli_help_words "$program" options)" -- "$cur")
        return
    fi
    _filedir
}
complete -F _tarvex_cli tarvex-cli
