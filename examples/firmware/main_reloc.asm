; The example firmware once more as a relocatable gputils project, as a larger program is built:
; tarvek-asm writes each routine as a module of its own (--syntax gpasm-reloc, see Makefile),
; gpasm assembles every module with -c, and gplink links them with this main module, placing
; every section where the PIC16F628A's linker script has room. The results are the same.
;
; A module's registers may land in any bank: each routine selects the bank of its own
; registers, and this module selects the bank of every register it writes or reads. The
; PIC16F628A has a single page of program memory, so no call needs a page selected.

	#include	<p16f628a.inc>
	__config	_INTOSC_OSC_NOCLKOUT & _WDT_OFF & _PWRTE_ON & _LVP_OFF & _BOREN_OFF

; The routines, and the input and result bytes they make global.
	extern	times10, PROD0, PROD1, PROD2
	extern	third, QUOT0

; Global, so that a debugger or gpsim finds them in the linked program.
	global	TEN_RESULT, THIRD_RESULT, finished

results	udata
TEN_RESULT	res	D'12'	; x * 10 for the four inputs below, 3 bytes each, low byte first
THIRD_RESULT	res	D'6'	; floor(x / 3) for the six inputs below

; Multiplies the 16-bit value X by 10 and copies the 3-byte product to DEST.
times10_of	macro	x, dest
	banksel	PROD0
	movlw	low (x)
	movwf	PROD0
	movlw	high (x)
	movwf	PROD1
	call	times10
	banksel	PROD0
	movf	PROD0, w
	banksel	dest
	movwf	dest
	banksel	PROD1
	movf	PROD1, w
	banksel	dest
	movwf	dest + 1
	banksel	PROD2
	movf	PROD2, w
	banksel	dest
	movwf	dest + 2
	endm

; Divides the 8-bit value X by 3, rounding down, and copies the quotient to DEST.
third_of	macro	x, dest
	banksel	QUOT0
	movlw	x
	movwf	QUOT0
	call	third
	banksel	QUOT0
	movf	QUOT0, w
	banksel	dest
	movwf	dest
	endm

reset_vector	code	0
	goto	main

	code
main
	times10_of	D'0', TEN_RESULT
	times10_of	D'1', TEN_RESULT + 3
	times10_of	D'1234', TEN_RESULT + 6
	times10_of	D'65535', TEN_RESULT + 9
	third_of	D'0', THIRD_RESULT
	third_of	D'2', THIRD_RESULT + 1
	third_of	D'3', THIRD_RESULT + 2
	third_of	D'100', THIRD_RESULT + 3
	third_of	D'254', THIRD_RESULT + 4
	third_of	D'255', THIRD_RESULT + 5
finished
	goto	finished

	end
