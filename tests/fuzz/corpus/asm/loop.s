; counts IntVars[0] up to 5
        PUSHI 0
        STOREI 0
loop:   LOADI 0
        PUSHI 1
        ADDI
        STOREI 0
        LOADI 0
        PUSHI 5
        SETCMP
        PUSHI done
        JEQ
        PUSHI loop
        JMP
done:
